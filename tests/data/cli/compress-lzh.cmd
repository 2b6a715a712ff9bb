compress --method lzh @DATA@/cli/compress-sample.css @OUT@/compress-sample.lzh
