format @DATA@/cli/format-sheet.css -o /nonexistent/dir/out.css
