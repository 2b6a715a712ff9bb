lint @DATA@/cli/lint-clean.css
