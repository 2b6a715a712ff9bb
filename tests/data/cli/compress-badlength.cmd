decompress @DATA@/cli/compress-badlength.wrz @OUT@/compress-badlength.out
