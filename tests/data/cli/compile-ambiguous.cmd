compile @DATA@/cli/compile-ambiguous.script -o @OUT@/compile-ambiguous.def
