dump @DATA@/cli/dump-old.def
