format --minify @DATA@/cli/format-sheet.css
