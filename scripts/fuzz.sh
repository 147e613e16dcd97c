#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# fuzz-build/, and runs each for the given number of seconds (default 20) on a copy of its seed
# corpus. Any crash fails the run; the crashing input is left in fuzz-build/crashes/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
build=${CINEVARTA_FUZZ_BUILD_DIR:-$root/fuzz-build}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCINEVARTA_FUZZ=ON -DCINEVARTA_SANITIZE=ON -DCINEVARTA_TESTS=OFF -DCINEVARTA_BENCH=OFF >/dev/null
targets=$(cd "$root/fuzz" && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')
[ -n "$targets" ] || { echo "fuzz: no targets"; exit 0; }
cmake --build "$build" -j"$(nproc)" --target $targets
mkdir -p "$build/crashes"
export QT_QPA_PLATFORM=offscreen
# The same suppressions as the sanitizer run: fontconfig keeps its cache until the process ends.
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
status=0
for t in $targets; do
  name=${t#fuzz_}
  work=$(mktemp -d)
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$work/"
  echo "fuzz: $t for ${seconds}s"
  if ! (cd "$work" && "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$t-" "$work" >"$build/$t.log" 2>&1); then
    echo "fuzz: $t FAILED (see $build/$t.log)"; tail -n 30 "$build/$t.log"; status=1
  else
    echo "fuzz: $t ok ($(grep -o 'stat::number_of_executed_units: [0-9]*' "$build/$t.log" | awk '{print $2}') runs)"
  fi
  rm -rf "$work"
done
exit $status
