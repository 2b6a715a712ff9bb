lint /dev/zero
