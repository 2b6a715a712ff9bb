compress --method zip @DATA@/cli/compress-sample.css @OUT@/x
