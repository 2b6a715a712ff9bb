play --lang @DATA@/cli/compress-sample.css @DATA@/play/no-such.play
