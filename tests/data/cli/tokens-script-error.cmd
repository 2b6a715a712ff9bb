tokens --lang @DATA@/cli/tokens-script-error.qls @DATA@/cli/tokens-script.txt
