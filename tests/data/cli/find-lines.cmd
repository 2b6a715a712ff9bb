find --regex [^a]}[^a][.]font @DATA@/cli/find-sample.css
