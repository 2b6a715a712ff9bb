export --format text @DATA@/cli/export-sample.css
