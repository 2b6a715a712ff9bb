export --format html --lang none @DATA@/cli/export-escape.txt
