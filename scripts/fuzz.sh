#!/usr/bin/env bash
# Builds the native fuzz targets (tests/fuzz) with clang into build/fuzz and runs each for a
# bounded time from its seed corpus; fails on any crash, leak, time-out or sanitizer report.
#   scripts/fuzz.sh [--build-only | --no-build] [--seconds N] [--out DIR] [TARGET...]
# Without TARGET every target runs. OMBRIX_FUZZ_SECONDS sets the default time per target (5 s).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$here/build/fuzz"
seconds="${OMBRIX_FUZZ_SECONDS:-5}"
build=1
run=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build-only) run=0 ;;
    --no-build) build=0 ;;
    --seconds) seconds="$2"; shift ;;
    --out) out="$2"; shift ;;
    *) targets+=("$1") ;;
  esac
  shift
done

if [ "$build" = 1 ]; then
  mkdir -p "$out"
  { [ -f "$out/CMakeCache.txt" ] ||
      cmake -S "$here/tests/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++; } >"$out/build.log" 2>&1 &&
    cmake --build "$out" >>"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
fi
[ "$run" = 1 ] || exit 0

if [ ${#targets[@]} -eq 0 ]; then
  read -r -a targets <<<"$(sed -n 's/^  \([A-Za-z0-9]*Fuzz\)\b.*/\1/p' "$here/tests/fuzz/Targets.cmake" | tr '\n' ' ')"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
passed=0
failed=0
for t in "${targets[@]}"; do
  # New inputs go to the build tree; the seeds in the source tree are only read.
  mkdir -p "$out/corpus/$t" "$out/artifacts/$t"
  log="$out/$t.log"
  rc=0
  "$out/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$t/" "$out/corpus/$t" "$here/tests/fuzz/corpus/$t" \
    >"$log" 2>&1 || rc=$?
  runs="$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 executions in \2 s/p' "$log")"
  if [ "$rc" -eq 0 ] && [ -n "$runs" ]; then
    passed=$((passed + 1))
    echo "fuzz $t: $runs, no finding"
  else
    failed=$((failed + 1))
    echo "fuzz $t: FINDING (exit $rc); log $log, input in $out/artifacts/$t/"
    grep -E 'ERROR|SUMMARY|runtime error|deadly signal|Test unit written' "$log" | head -20 || true
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
