play --file @DATA@/play/no-such.css @DATA@/play/no-such.play
