compile @DATA@/cli/compile-duphandler.script -o @OUT@/compile-duphandler.def
