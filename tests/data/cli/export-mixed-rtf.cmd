export --format rtf @DATA@/cli/export-mixed.css
