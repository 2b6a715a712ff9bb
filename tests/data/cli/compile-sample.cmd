compile @DATA@/cli/compile-sample.script -o @OUT@/compile-sample.def
