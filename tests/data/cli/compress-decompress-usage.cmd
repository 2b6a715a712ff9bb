decompress @DATA@/cli/compress-sample.css
