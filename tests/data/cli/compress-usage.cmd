compress @DATA@/cli/compress-sample.css
