find col @DATA@/cli/find-sample.css
