compile @DATA@/cli/compile-error.script -o @OUT@/compile-error.def
