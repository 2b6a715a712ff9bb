tokens --lang @DATA@/cli/tokens-script.qls @DATA@/cli/tokens-script.txt
