lint @DATA@/cli/lint-clean.css /nonexistent/x.css
