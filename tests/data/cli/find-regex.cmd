find --regex '#[0-9a-fA-F]{6}' @DATA@/cli/find-sample.css
