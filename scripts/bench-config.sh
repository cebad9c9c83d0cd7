#!/usr/bin/env bash
# What checking and parsing the CDN configuration costs: a set of COUNT files of 0.5-5 KB (at
# most 500 a folder) published signed by this build's OmbrixPack and served by nginx on
# 127.0.0.1, then the configuration fetched RUNS times by each OmbrixUpdate.exe given (this
# build's, and BEFORE's when set, taking turns) into an empty installation whose packages are gone (the
# update stops at its first range: only the configuration's work is done), with and without the
# publisher key. Prints the median config_check_us of each, side by side, and the load.
#   bench-config.sh [BUILD_DIR] [COUNT] [RUNS]     (defaults: build, 100000, 5)
#   BEFORE=path/to/OmbrixUpdate.exe times that program too.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
count="${2:-100000}"
runs="${3:-5}"
before="${BEFORE:-}"
[ -z "$before" ] || [ -f "$before" ] || { echo "bench: no program $before" >&2; exit 1; }
# shellcheck source=bench-lib.sh
source "$here/scripts/bench-lib.sh"
bench_init config "${1:-$here/build}" OmbrixPack OmbrixUpdate
cp "$bin/OmbrixUpdate.exe" "$work/AfterUpdate.exe"
[ -z "$before" ] || cp "$before" "$work/BeforeUpdate.exe"

echo "bench: $count files: generating, publishing"
bench_make_set "$work/src" "$count" 500 5000 0.5 500
"$wine_run" "$bin/OmbrixPack.exe" --new-key "C:\\$work_name\\publisher.key" </dev/null >/dev/null
"$wine_run" "$bin/OmbrixPack.exe" --game "C:\\$work_name\\src" --out "C:\\$work_name\\cdn" \
  --key "C:\\$work_name\\publisher.key" </dev/null >/dev/null
rm -rf "$work/src" "$work/cdn/pkg"
port="$("$serve" start "$name" "$work/cdn" 0 </dev/null)"
lines=$(wc -l < "$work/cdn/config/resources.txt")

# config_check_us of one update of program $1 (options after it).
check_us() {
  local exe="$1"
  shift
  rm -rf "$work/inst"
  "$wine_run" "$work/$exe" --root "C:\\$work_name\\inst" \
    --config "http://127.0.0.1:$port/config/resources.txt" "$@" </dev/null |
    tr -d '\r' | awk '/^config_check_us/ {print $2}' || true   # the update itself fails
}
key=(--publisher-key "C:\\$work_name\\publisher.key.pub")
ms() { echo "$1 / 1000" | bc -l; }
programs=(AfterUpdate.exe)
[ -z "$before" ] || programs=(BeforeUpdate.exe AfterUpdate.exe)
# The programs take turns, run by run, so that a change of load falls on both alike.
declare -A plain signed
for _ in $(seq "$runs"); do
  for exe in "${programs[@]}"; do
    plain[$exe]+=" $(check_us "$exe")"
    signed[$exe]+=" $(check_us "$exe" "${key[@]}")"
  done
done
echo "=== bench-config: configuration of $lines lines checked and parsed, median of $runs (load $(cut -d' ' -f1-3 /proc/loadavg)) ==="
for exe in "${programs[@]}"; do
  # shellcheck disable=SC2086
  printf '%-8s without the key %8.1f ms, with the key %8.1f ms\n' "${exe%Update.exe}:" \
    "$(ms "$(median ${plain[$exe]})")" "$(ms "$(median ${signed[$exe]})")"
done
