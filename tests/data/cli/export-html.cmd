export --format html @DATA@/cli/export-sample.css
