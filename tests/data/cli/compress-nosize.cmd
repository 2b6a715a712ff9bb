compress /proc/self/status @OUT@/compress-nosize.out
