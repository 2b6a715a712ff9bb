#!/usr/bin/env bash
# Builds the libFuzzer targets with Clang (ASan + UBSan) and runs each for a short while from
# its seeds (fuzz/seeds/NAME) and committed corpus (fuzz/corpus/NAME); new inputs go to
# build-fuzz/corpus-fuzz_NAME. FUZZ_SECONDS sets the time per target, FUZZ_ONLY one target.
# Skips (exit 0) when Clang or its fuzzer runtime is missing.
set -euo pipefail
seconds=${FUZZ_SECONDS:-30}
if ! command -v clang++ >/dev/null; then echo "fuzz: clang++ missing, skipped"; exit 0; fi
probe=$(mktemp -d)
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe/p.cpp"
if ! clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  echo "fuzz: Clang's fuzzer runtime missing, skipped"; rm -rf "$probe"; exit 0
fi
rm -rf "$probe"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DQUILLET_WITH_QT=OFF -DQUILLET_TESTS=OFF \
  -DQUILLET_BENCH=OFF -DQUILLET_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" > /dev/null
cmake --build build-fuzz -j2
# Undefined behaviour stops a run as an address fault does.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
for f in build-fuzz/bin/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  [ -z "${FUZZ_ONLY:-}" ] || [ "$FUZZ_ONLY" = "${name#fuzz_}" ] || continue
  inputs=()
  for d in "fuzz/seeds/${name#fuzz_}" "fuzz/corpus/${name#fuzz_}"; do
    [ -d "$d" ] && inputs+=("$d")
  done
  mkdir -p "build-fuzz/corpus-$name"
  echo "== $name ($seconds s)"
  "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 "build-fuzz/corpus-$name" \
    "${inputs[@]}" 2>&1 | tail -n 3
done
