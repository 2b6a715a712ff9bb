compile @DATA@/cli/compile-sample.script
