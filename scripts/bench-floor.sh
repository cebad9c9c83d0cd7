#!/usr/bin/env bash
# How close a fresh update comes to the platform's floor. Two published sets, served by nginx on
# 127.0.0.1:
#   A: 2,000 files of 50 to 150 KB of random data;
#   B: 20,000 files of 0.5 to 20 KB, half text, half random data.
# For each set the launcher's resource manager (OmbrixUpdate.exe) and FloorReference.exe (the
# least an update must do: merged ranges over three WinINet threads, each range inflated in
# memory straight into its file) install it, alternating, RUNS times each, under the same wine.
# Prints the medians of the wall times (wine start included), the time inside the process, the
# peak working sets, and the ratio launcher/reference of each set, last. A third run of the
# launcher without its 100 ms pause before each request (a measurement only: the product keeps
# the pause) shows what that pause of the design costs.
#   bench-floor.sh [BUILD_DIR] [RUNS]     (defaults: build, 3)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${2:-3}"
# shellcheck source=bench-lib.sh
source "$here/scripts/bench-lib.sh"
bench_init floor "${1:-$here/build}" OmbrixPack OmbrixUpdate FloorReference

echo "bench: generating the sets"
bench_make_set "$work/src/A" 2000 50000 150000 0.0 50
bench_make_set "$work/src/B" 20000 500 20000 0.5 100
for set in A B; do
  echo "bench: publishing set $set with OmbrixPack"
  "$wine_run" "$bin/OmbrixPack.exe" --game "C:\\$work_name\\src\\$set" --out "C:\\$work_name\\cdn\\$set" \
    </dev/null >/dev/null
done
port="$("$serve" start "$name" "$work/cdn" 0 </dev/null)"

for set in A B; do
  url="http://127.0.0.1:$port/$set/config/resources.txt"
  lw=(); li=(); lp=(); rw=(); ri=(); rp=(); nw=()
  for run in $(seq 1 "$runs"); do
    # The disk settles between timed runs (file creation is slow for a while after many writes);
    # installations are deleted only at the end, since deleting many files slows creation too.
    sync; sleep 8
    start=$(now)
    "$wine_run" "$bin/OmbrixUpdate.exe" --root "C:\\$work_name\\l$set$run" --config "$url" \
      </dev/null > "$work/l.log"
    lw+=("$(echo "$(now) - $start" | bc)")
    grep -q '^state 19' "$work/l.log" || { cat "$work/l.log" >&2; exit 1; }
    li+=("$(field "$work/l.log" elapsed_ms)"); lp+=("$(field "$work/l.log" peak_working_set)")
    sync; sleep 8
    start=$(now)
    "$wine_run" "$bin/OmbrixUpdate.exe" --root "C:\\$work_name\\n$set$run" --config "$url" \
      --segment-pause-ms 0 </dev/null > "$work/n.log"
    nw+=("$(echo "$(now) - $start" | bc)")
    grep -q '^state 19' "$work/n.log" || { cat "$work/n.log" >&2; exit 1; }
    sync; sleep 8
    start=$(now)
    "$wine_run" "$bin/FloorReference.exe" "$url" "C:\\$work_name\\r$set$run" </dev/null > "$work/r.log"
    rw+=("$(echo "$(now) - $start" | bc)")
    ri+=("$(field "$work/r.log" elapsed_ms)"); rp+=("$(field "$work/r.log" peak_working_set)")
    diff -rq "$work/src/$set" "$work/l$set$run/game" >/dev/null || { echo "bench: launcher install of $set differs" >&2; exit 1; }
    diff -rq "$work/src/$set" "$work/r$set$run" >/dev/null || { echo "bench: reference install of $set differs" >&2; exit 1; }
  done
  files=$(find "$work/src/$set" -type f | wc -l)
  mib=$(echo "$(du -sb "$work/cdn/$set/pkg" | cut -f1) / 1048576" | bc -l)
  L=$(median "${lw[@]}"); R=$(median "${rw[@]}")
  printf 'set %s: %d files, %.1f MiB compressed, medians of %d runs\n' "$set" "$files" "$mib" "$runs"
  printf '  launcher:  %6.2f s wall, %6.2f s in process, peak working set %5.1f MiB\n' "$L" \
    "$(echo "$(median "${li[@]}") / 1000" | bc -l)" "$(echo "$(median "${lp[@]}") / 1048576" | bc -l)"
  printf '  reference: %6.2f s wall, %6.2f s in process, peak working set %5.1f MiB\n' "$R" \
    "$(echo "$(median "${ri[@]}") / 1000" | bc -l)" "$(echo "$(median "${rp[@]}") / 1048576" | bc -l)"
  N=$(median "${nw[@]}")
  printf '  launcher without the pause before each request: %6.2f s wall (ratio %.2f): the pause costs %.2f s\n' \
    "$N" "$(echo "$N / $R" | bc -l)" "$(echo "$L - $N" | bc -l)"
  printf '%.2f\n' "$(echo "$L / $R" | bc -l)" > "$work/ratio-$set"
done
printf 'ratio launcher/reference: set A %s, set B %s\n' "$(cat "$work/ratio-A")" "$(cat "$work/ratio-B")"
