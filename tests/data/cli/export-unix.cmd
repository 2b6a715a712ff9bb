export --format unix --lang css @DATA@/cli/export-sample.css
