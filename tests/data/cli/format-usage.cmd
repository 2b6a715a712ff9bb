format --minify
