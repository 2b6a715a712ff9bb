format /dev/zero
