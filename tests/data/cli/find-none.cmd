find zzz @DATA@/cli/find-sample.css
