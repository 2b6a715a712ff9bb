decompress @DATA@/cli/compress-sample.lzh.bin @OUT@/compress-lzh.css
