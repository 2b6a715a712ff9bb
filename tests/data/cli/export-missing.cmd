export --format text @DATA@/cli/no-such.css
