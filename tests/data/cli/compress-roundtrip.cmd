compress @DATA@/cli/compress-sample.css @OUT@/compress-sample.wrz
