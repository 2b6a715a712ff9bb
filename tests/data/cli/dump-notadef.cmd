dump @DATA@/cli/compress-sample.css
