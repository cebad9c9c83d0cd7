#!/usr/bin/env bash
# Benchmark of the check of the installed files that precedes every update. Three sets,
# published by the package tool and served by nginx on 127.0.0.1:
#   A: 2,000 files of 50 to 150 KB of random data;
#   B: 20,000 files of 0.5 to 20 KB, half text, half random data;
#   C: 100,000 files of 0.5 to 4 KB, half text, half random data.
# OmbrixUpdate.exe installs each set once; then, warm cache, RUNS times each (medians printed):
#   current: an update that finds everything current (its quick check included): the time inside
#            the process, its CPU time, the wall time (wine start included) and the time the
#            check adds to the update's path (the folders are listed while the configuration is
#            requested; what is left of that and the judging of each file);
#   full:    the same update with --verify: every installed file read and digested (the whole
#            update, and the check's time on its path);
#   md5sum:  native md5sum over the same installed files (one process, as it is usually run).
# With BEFORE=path/to/OmbrixUpdate.exe (another build, for example an earlier one) the current
# update and the full check are timed with that program too, side by side.
#   bench-verify.sh [BUILD_DIR] [RUNS] [SETS]     (defaults: build, 3, "A B C")
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${2:-3}"
sets="${3:-A B C}"
before="${BEFORE:-}"
[ -z "$before" ] || [ -f "$before" ] || { echo "bench: no program $before" >&2; exit 1; }
# shellcheck source=bench-lib.sh
source "$here/scripts/bench-lib.sh"
bench_init verify "${1:-$here/build}" OmbrixPack OmbrixUpdate
[ -z "$before" ] || cp "$before" "$work/BeforeUpdate.exe"

echo "bench: generating the sets"
declare -A set_shape=([A]="2000 50000 150000 0.0 50" [B]="20000 500 20000 0.5 100"
                      [C]="100000 500 4000 0.5 200")
for set in $sets; do
  # shellcheck disable=SC2086
  bench_make_set "$work/src/$set" ${set_shape[$set]}
done
for set in $sets; do
  echo "bench: publishing set $set with OmbrixPack"
  "$wine_run" "$bin/OmbrixPack.exe" --game "C:\\$work_name\\src\\$set" \
    --out "C:\\$work_name\\cdn\\$set" </dev/null >/dev/null
done
port="$("$serve" start "$name" "$work/cdn" 0 </dev/null)"

# One update of set $1 by program $2 (a Windows path) with further options; its log in $work/u.log.
update() {
  local set="$1" exe="$2"; shift 2
  "$wine_run" "$exe" --root "C:\\$work_name\\inst\\$set" \
    --config "http://127.0.0.1:$port/$set/config/resources.txt" "$@" </dev/null > "$work/u.log"
  grep -q '^state 19' "$work/u.log" || { cat "$work/u.log" >&2; exit 1; }
}

results=()
for set in $sets; do
  echo "bench: installing set $set"
  update "$set" "$bin/OmbrixUpdate.exe"
  diff -rq "$work/src/$set" "$work/inst/$set/game" >/dev/null
  count=$(find "$work/inst/$set/game" -type f | wc -l)
  bytes=$(du -sb "$work/inst/$set/game" | cut -f1)
  ci=(); cw=(); cc=(); cu=(); bi=(); bu=(); bw=(); bf=(); fi_=(); fk=(); fc=(); ms=()
  for run in $(seq 1 "$runs"); do
    # Native reference first: it also warms the cache for the runs after it.
    start=$(now)
    (cd "$work/inst/$set/game" && find . -type f -print0 | xargs -0 md5sum >/dev/null)
    ms+=("$(echo "$(now) - $start" | bc)")

    start=$(now)
    update "$set" "$bin/OmbrixUpdate.exe"
    cw+=("$(echo "$(now) - $start" | bc)")
    grep -q '^state 7' "$work/u.log" && { echo "bench: the current update fetched files" >&2; exit 1; }
    ci+=("$(echo "$(field "$work/u.log" elapsed_ms) / 1000" | bc -l)")
    v="$(field "$work/u.log" check_ms)"; cc+=("$(echo "${v:-0} / 1000" | bc -l)")
    cu+=("$(echo "$(field "$work/u.log" cpu_ms) / 1000" | bc -l)")

    if [ -n "$before" ]; then
      start=$(now)
      update "$set" "C:\\$work_name\\BeforeUpdate.exe"
      bw+=("$(echo "$(now) - $start" | bc)")
      bi+=("$(echo "$(field "$work/u.log" elapsed_ms) / 1000" | bc -l)")
      bu+=("$(echo "$(field "$work/u.log" cpu_ms) / 1000" | bc -l)")
      update "$set" "C:\\$work_name\\BeforeUpdate.exe" --verify
      bf+=("$(echo "$(field "$work/u.log" elapsed_ms) / 1000" | bc -l)")
    fi

    update "$set" "$bin/OmbrixUpdate.exe" --verify
    fi_+=("$(echo "$(field "$work/u.log" elapsed_ms) / 1000" | bc -l)")
    v="$(field "$work/u.log" check_ms)"; fk+=("$(echo "${v:-0} / 1000" | bc -l)")
    fc+=("$(field "$work/u.log" files_checked)")
    [ "$(field "$work/u.log" files_damaged)" = 0 ] || { echo "bench: the full check found damage" >&2; exit 1; }
  done
  line="$(printf 'set %s: %d files, %.1f MiB\n' "$set" "$count" "$(echo "$bytes / 1048576" | bc -l)")"
  line+="$(printf '\n  current update (quick check): %.3f s in the process (%.3f s of CPU), %.2f s wall; the check on the path %.3f s' \
    "$(median "${ci[@]}")" "$(median "${cu[@]}")" "$(median "${cw[@]}")" "$(median "${cc[@]}")")"
  if [ -n "$before" ]; then
    line+="$(printf '\n  current update, BEFORE program: %.3f s in the process (%.3f s of CPU), %.2f s wall' \
      "$(median "${bi[@]}")" "$(median "${bu[@]}")" "$(median "${bw[@]}")")"
  fi
  full="$(median "${fi_[@]}")"; check="$(median "${fk[@]}")"; md5="$(median "${ms[@]}")"
  line+="$(printf '\n  full check (--verify, %s files read): %.2f s in the process, the check %.2f s; md5sum: %.2f s; ratio %.2f (the check alone %.2f)' \
    "$(median "${fc[@]}")" "$full" "$check" "$md5" "$(echo "$full / $md5" | bc -l)" "$(echo "$check / $md5" | bc -l)")"
  if [ -n "$before" ]; then
    line+="$(printf '\n  full check, BEFORE program: %.2f s in the process; ratio %.2f' \
      "$(median "${bf[@]}")" "$(echo "$(median "${bf[@]}") / $md5" | bc -l)")"
  fi
  results+=("$line")
  echo "$line"
done
echo
echo "=== bench-verify ($runs runs each, medians) ==="
printf '%s\n' "${results[@]}"
