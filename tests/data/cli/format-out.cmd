format @DATA@/cli/format-sheet.css -o @OUT@/format-sheet.css
