tokens @DATA@/cli/tokens-rule.cmd
