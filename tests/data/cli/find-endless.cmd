find col /dev/zero
