export --format rtf --lang css @DATA@/cli/export-sample.css
