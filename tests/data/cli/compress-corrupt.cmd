decompress @DATA@/cli/compress-sample.css @OUT@/compress-bad.out
