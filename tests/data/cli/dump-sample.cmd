dump @DATA@/cli/dump-sample.def
