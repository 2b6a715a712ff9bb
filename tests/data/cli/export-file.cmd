export --format text @DATA@/play/sample-1251.css -o @OUT@/export-1251.txt
