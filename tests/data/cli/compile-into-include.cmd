compile @DATA@/cli/compile-into-include.script -o @DATA@/cli/compile-into-include.inc
