compress --method advise @DATA@/cli/compress-sample.css @OUT@/compress-advise.out
