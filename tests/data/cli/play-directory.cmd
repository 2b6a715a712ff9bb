play @DATA@/play
