decompress @DATA@/cli/compress-truncated.lzh.bin @OUT@/compress-truncated.css
