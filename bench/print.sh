#!/usr/bin/env bash
# Whole-process timing of `quillet --print`: generated CSS of 2,500 and 10,000 lines into a PDF;
# seconds, pages per second and peak memory (which must not grow with the number of pages).
set -euo pipefail
build=${1:-build}
program="$build/bin/quillet"
[ -x "$program" ] || { echo "no $program (Qt build)"; exit 0; }
data="$build/bench-data"
mkdir -p "$data"
for lines in 2500 10000; do
  css="$data/print-$lines.css"
  if [ ! -f "$css" ]; then
    for ((i = 1; i <= lines / 4; i++)); do
      printf '.block-%d > a:hover, #id%d {\n  color: #%06X; margin: %dpx 0 %dpx;\n  font: bold 12px/1.5 "Liberation Mono", monospace; /* rule %d */\n}\n' \
        "$i" "$i" $((i * 2654435761 % 16777216)) $((i % 40)) $((i % 17)) "$i"
    done > "$css"
  fi
  pdf="$data/print-$lines.pdf"
  start=$(date +%s.%N)
  /usr/bin/time -f '%M' -o "$data/print-$lines.mem" env QT_QPA_PLATFORM=offscreen \
    QUILLET_REGISTRY="$data/print-registry.reg" "$program" --print "$pdf" "$css" 2>/dev/null
  end=$(date +%s.%N)
  pages=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
  awk -v s="$start" -v e="$end" -v p="${pages:-0}" -v l="$lines" -v m="$(cat "$data/print-$lines.mem")" \
    'BEGIN { t = e - s; printf "print %6d lines: %5.2f s, %4d pages, %6.1f pages/s, peak %.0f MB\n", l, t, p, p / t, m / 1024 }'
done
