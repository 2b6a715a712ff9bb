find --from 99 col @DATA@/cli/find-sample.css
