#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
# and runs it; the first fault stops its test. The core, command-line and fuzz-replay tests run
# by default; SANITIZE_QT=ON adds the Qt program and its tests. Further arguments go to ctest
# (e.g. -R play).
set -euo pipefail
dir=${SANITIZE_BUILD:-build-asan}
jobs=${JOBS:-2}
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_BENCH=OFF \
  -DQUILLET_WITH_QT="${SANITIZE_QT:-OFF}" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" > /dev/null
cmake --build "$dir" -j"$jobs"
# Leaks are reported only for our own programs: the Qt and graphics libraries keep what they
# allocate until exit on purpose.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=${SANITIZE_LEAKS:-1}:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
cd "$dir"
QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
  ctest --output-on-failure -j"$jobs" --timeout 900 "$@"
