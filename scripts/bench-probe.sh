#!/usr/bin/env bash
# The platform's floor under this wine, measured by FloorProbe.exe with nothing else in the
# process:
#   memory: the peak working set of a process that creates and writes COUNT files of 2 KB (at
#           most 500 a folder, nothing kept per file), for 50 files (its base) and each COUNT,
#           and what it grows by per file above that base;
#   time:   warm cache, RUNS times each (medians): open+read+close of every one of those files,
#           the same with each file's MD5, and native md5sum over the same files.
#   bench-probe.sh [BUILD_DIR] [COUNTS] [RUNS]     (defaults: build, "20000 100000", 3)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench-lib.sh
source "$here/scripts/bench-lib.sh"
bench_init probe "${1:-$here/build}" FloorProbe
counts="${2:-20000 100000}"
runs="${3:-3}"
mib() { echo "$1 / 1048576" | bc -l; }
probe() { "$wine_run" "$bin/FloorProbe.exe" "$@" </dev/null > "$work/probe.log"; }

results=()
base=""
for count in 50 $counts; do
  echo "bench: $count files: writing, reading"
  rm -rf "$work/set"
  sync; sleep 3
  probe write "C:\\$work_name\\set" "$count"
  peak=$(field "$work/probe.log" peak_working_set); write_us=$(field "$work/probe.log" us_per_file)
  if [ -z "$base" ]; then base=$peak; continue; fi
  rd=(); dg=(); ms=()
  for _ in $(seq 1 "$runs"); do
    start=$(now)
    (cd "$work/set" && find . -type f -print0 | xargs -0 md5sum >/dev/null)
    ms+=("$(echo "$(now) - $start" | bc)")
    probe read "C:\\$work_name\\set"
    rd+=("$(echo "$(field "$work/probe.log" elapsed_ms) / 1000" | bc -l)")
    probe read "C:\\$work_name\\set" --md5
    dg+=("$(echo "$(field "$work/probe.log" elapsed_ms) / 1000" | bc -l)")
  done
  R=$(median "${rd[@]}"); D=$(median "${dg[@]}"); M=$(median "${ms[@]}")
  line="$(printf '%d files of 2 KB:\n' "$count")"
  line+="$(printf '\n  write: %.0f us a file; peak %.1f MiB, %.0f bytes a file above the base' \
    "$write_us" "$(mib "$peak")" "$(echo "($peak - $base) / ($count - 50)" | bc -l)")"
  line+="$(printf '\n  open+read+close %.2f s (%.0f us a file), with MD5 %.2f s (%.0f us); md5sum %.2f s (%.0f us); ratios %.2f and %.2f' \
    "$R" "$(echo "$R * 1000000 / $count" | bc -l)" "$D" "$(echo "$D * 1000000 / $count" | bc -l)" \
    "$M" "$(echo "$M * 1000000 / $count" | bc -l)" "$(echo "$R / $M" | bc -l)" "$(echo "$D / $M" | bc -l)")"
  results+=("$line")
done
rm -rf "$work/set"
echo
echo "=== bench-probe: the platform's floor ($runs runs each, medians; load $(cut -d' ' -f1-3 /proc/loadavg)) ==="
printf 'base (a process writing 50 files): peak %.1f MiB\n' "$(mib "$base")"
printf '%s\n' "${results[@]}"
