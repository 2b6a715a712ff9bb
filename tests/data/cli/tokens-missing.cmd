tokens --lang css @DATA@/cli/tokens-none.css
