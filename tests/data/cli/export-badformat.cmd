export --format pdf @DATA@/cli/export-sample.css
