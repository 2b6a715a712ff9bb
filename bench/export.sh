#!/usr/bin/env bash
# quillet-tool export --format html|rtf: throughput (MB/s of input, whole process) and peak
# memory against the input size, on bootstrap.css, bootstrap.min.css, the HTML corpus and the
# CSS corpus repeated to 20 MB. Usage: bench/export.sh [BUILD_DIR]
# With PEERS=DIR (a writable copy of ../shared/peers, set up once with its setup-peers.sh as root)
# the peer highlighters named in TOOLS then run on the same inputs, our export among them.
set -euo pipefail
build=${1:-build}
tool=$build/bin/quillet-tool
corpus=${QUILLET_CORPUS:-$(dirname "$0")/../../shared/corpus}
[ -d "$corpus" ] || corpus=/work/shared/corpus
data=$build/bench-data
mkdir -p "$data"
if [ ! -s "$data/css-20mb.css" ]; then
  : > "$data/css-20mb.css"
  mapfile -t css < <(find "$corpus/css" -type f -name '*.css' | LC_ALL=C sort)
  while [ "$(stat -c %s "$data/css-20mb.css")" -lt 20000000 ]; do
    for f in "${css[@]}"; do cat "$f" >> "$data/css-20mb.css"; echo >> "$data/css-20mb.css"; done
  done
fi
if [ ! -s "$data/html-corpus.html" ]; then
  find "$corpus/html" -type f -name '*.html' | LC_ALL=C sort | xargs cat > "$data/html-corpus.html"
fi
inputs=("$corpus/css/bootstrap/bootstrap.css" "$corpus/css/bootstrap/bootstrap.min.css"
        "$data/html-corpus.html" "$data/css-20mb.css")
# The process's own peak with an empty input of the same kind (code, definition, tables): what an
# export of a small file cannot go below. `extra_x` is the peak above it against the input.
: > "$data/empty.css"
: > "$data/empty.html"
base_peak() {
  /usr/bin/time -f '%M' -o "$data/time.txt" "$tool" export --format "$2" "$data/empty.${1##*.}" > /dev/null
  cat "$data/time.txt"
}
# MB/s of wall time and of CPU time (user + system): on a loaded machine the second is the steadier.
printf '%-22s %-5s %10s %9s %9s %10s %7s %7s\n' input fmt bytes MB/s cpu_MB/s peak_KiB x_input extra_x
for f in "${inputs[@]}"; do
  for fmt in html rtf; do
    size=$(stat -c %s "$f")
    base=$(base_peak "$f" "$fmt")
    /usr/bin/time -f '%e %M %U %S' -o "$data/time.txt" "$tool" export --format "$fmt" "$f" > /dev/null
    read -r secs kib user sys < "$data/time.txt"
    awk -v n="$(basename "$f")" -v fmt="$fmt" -v b="$size" -v s="$secs" -v k="$kib" -v base="$base" -v cpu="$(awk -v u="$user" -v y="$sys" 'BEGIN { print u + y }')" 'BEGIN {
      printf "%-22s %-5s %10d %9.1f %9.1f %10d %7.2f %7.2f\n", n, fmt, b, b / 1e6 / (s > 0 ? s : 0.01),
        b / 1e6 / (cpu > 0 ? cpu : 0.01), k, k * 1024 / b, (k - base) * 1024 / b }'
  done
done
if [ -n "${PEERS:-}" ]; then
  abs=()
  for f in "${inputs[@]}"; do abs+=("$(realpath "$f")"); done
  QUILLET_TOOL=$(realpath "$tool") TOOLS=${TOOLS:-"quillet highlight kate hljs"} \
    "$PEERS/highlight-peers.sh" "${abs[@]}"
fi
