play --lang none @DATA@/play/no-such.play
