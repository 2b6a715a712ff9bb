find --regex [z-a] @DATA@/cli/find-sample.css
