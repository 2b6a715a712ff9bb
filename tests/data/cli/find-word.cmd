find --word --case col @DATA@/cli/find-sample.css
