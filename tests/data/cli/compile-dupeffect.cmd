compile @DATA@/cli/compile-dupeffect.script -o @OUT@/compile-dupeffect.def
