play /dev/zero
