compile @DATA@/cli/compile-self.script -o @DATA@/cli/../cli/compile-self.script
