tokens --lang css /dev/zero
