export @DATA@/cli/export-sample.css
