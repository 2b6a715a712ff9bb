find --backward --from 20 col @DATA@/cli/find-sample.css
