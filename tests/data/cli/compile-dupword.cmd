compile @DATA@/cli/compile-dupword.script -o @OUT@/compile-dupword.def
