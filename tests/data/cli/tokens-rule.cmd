tokens @DATA@/cli/tokens-rule.css
