compile @DATA@/cli/compile-include.script -o @OUT@/compile-include.def
