export --format html @DATA@/cli/export-mixed.css
