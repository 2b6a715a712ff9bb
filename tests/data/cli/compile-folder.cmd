compile @DATA@/cli -o @OUT@/compile-folder.def
