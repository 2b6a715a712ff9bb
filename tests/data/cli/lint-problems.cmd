lint @DATA@/cli/lint-clean.css @DATA@/cli/lint-problems.css
