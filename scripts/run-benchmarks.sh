#!/usr/bin/env bash
# Runs every benchmark program, then the whole-process timings in bench/*.sh.
set -euo pipefail
build=${1:-build}
status=0
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || status=1
done
for s in bench/*.sh; do
  [ -f "$s" ] || continue
  echo "== $s"
  bash "$s" "$build" || status=1
done
exit $status
