play --lang @DATA@/cli/play-badscript.qls
