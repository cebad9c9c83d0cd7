#!/usr/bin/env bash
# How a fresh install scales with the number of files: sets of 20,000, 100,000 and 500,000 files
# of 0.5 to 5 KB (half text, half random data, at most 500 files a folder, as games lay them
# out), each published by OmbrixPack and served by nginx on 127.0.0.1, then installed once by
# OmbrixUpdate.exe (the launcher's resource manager) and once by FloorReference.exe (the least an
# update must do; with --stream, its least memory), under the same wine. Prints for each set the
# wall times, the time per file and their ratio, the peak working sets and the memory per file
# above the process's base (the peak of the same program installing a set of 50 files), and
# OmbrixPack's peak resident set
# (measured from outside, as its own base is not printed) with its memory per file.
# The 500,000-file set takes several minutes under wine and about 6 GB of disk.
# BENCH_BIN=DIR takes the programs from DIR (for example copies of another build's) instead.
# BENCH_PACK_ONLY=1 only publishes each set and prints OmbrixPack's lines (no installs).
# BENCH_LAUNCHER_ONLY=1 installs each set with the launcher only (no reference, no ratio).
#   bench-scale.sh [BUILD_DIR] [COUNTS]     (defaults: build, "20000 100000 500000")
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench-lib.sh
source "$here/scripts/bench-lib.sh"
bench_init scale "${1:-$here/build}" OmbrixPack OmbrixUpdate FloorReference
counts="${2:-20000 100000 500000}"
mkdir -p "$work/cdn"
port="$("$serve" start "$name" "$work/cdn" 0 </dev/null)"
mib() { echo "$1 / 1048576" | bc -l; }

# Publishes set $1 from src/$1; OmbrixPack's peak resident set in bytes into $work/pack-$1.
publish() {
  /usr/bin/time -f %M -o "$work/pack-$1" "$wine_run" "$bin/OmbrixPack.exe" \
    --game "C:\\$work_name\\src\\$1" --out "C:\\$work_name\\cdn\\$1" </dev/null >/dev/null
  echo $(($(tail -n1 "$work/pack-$1") * 1024)) > "$work/pack-$1"
}
# Installs set $1 with the launcher (l), the reference (r) or the reference's streaming variant
# (s, always this build's: the least memory the work needs) into inst; wall seconds, and the
# peak working set, in $work/$2-$1.
install() {
  local url="http://127.0.0.1:$port/$1/config/resources.txt" start
  rm -rf "$work/inst"
  sync; sleep 5   # the disk settles after the many writes before
  start=$(now)
  if [ "$2" = l ]; then
    "$wine_run" "$bin/OmbrixUpdate.exe" --root "C:\\$work_name\\inst" --config "$url" --memory \
      </dev/null > "$work/run.log"
    grep -q '^state 19' "$work/run.log" || { cat "$work/run.log" >&2; exit 1; }
    cp "$work/run.log" "$work/l-$1.log"   # its states with their times (kept with KEEP=1)
    echo "$(echo "$(now) - $start" | bc) $(field "$work/run.log" peak_working_set)" > "$work/$2-$1"
    diff -rq "$work/src/$1" "$work/inst/game" >/dev/null || { echo "bench: launcher install of $1 differs" >&2; exit 1; }
  else
    local exe="$bin/FloorReference.exe" mode=()
    [ "$2" = s ] && exe="$build/bin/FloorReference.exe" && mode=(--stream)
    "$wine_run" "$exe" "$url" "C:\\$work_name\\inst" "${mode[@]}" </dev/null > "$work/run.log"
    echo "$(echo "$(now) - $start" | bc) $(field "$work/run.log" peak_working_set)" > "$work/$2-$1"
    diff -rq "$work/src/$1" "$work/inst" >/dev/null || { echo "bench: reference install of $1 differs" >&2; exit 1; }
  fi
  rm -rf "$work/inst"
}

for count in 50 $counts; do
  echo "bench: $count files: generating, publishing, installing"
  bench_make_set "$work/src/$count" "$count" 500 5000 0.5 500
  publish "$count"
  if [ -z "${BENCH_PACK_ONLY:-}" ]; then
    install "$count" l
    if [ -z "${BENCH_LAUNCHER_ONLY:-}" ]; then
      install "$count" r
      install "$count" s
    fi
  fi
  rm -rf "$work/src/$count"
done

base_p=$(cat "$work/pack-50")
echo
if [ -n "${BENCH_PACK_ONLY:-}" ]; then
  echo "=== bench-scale: OmbrixPack publishing files of 0.5-5 KB, at most 500 a folder (load $(cut -d' ' -f1-3 /proc/loadavg)) ==="
  printf 'base (a set of 50 files): OmbrixPack %.1f MiB\n' "$(mib "$base_p")"
  for count in $counts; do
    pp=$(cat "$work/pack-$count")
    printf '%d files: OmbrixPack: peak %.1f MiB, %.0f bytes a file above base\n' "$count" "$(mib "$pp")" \
      "$(echo "($pp - $base_p) / $count" | bc -l)"
  done
  exit 0
fi
if [ -n "${BENCH_LAUNCHER_ONLY:-}" ]; then
  for f in r s; do for count in 50 $counts; do echo "0 0" > "$work/$f-$count"; done; done
fi
read -r _ base_l < "$work/l-50"; read -r _ base_r < "$work/r-50"; read -r _ base_s < "$work/s-50"
echo "=== bench-scale: fresh installs of files of 0.5-5 KB, at most 500 a folder (load $(cut -d' ' -f1-3 /proc/loadavg)) ==="
printf 'base (a set of 50 files): launcher %.1f MiB, reference %.1f MiB, streaming %.1f MiB, OmbrixPack %.1f MiB\n' \
  "$(mib "$base_l")" "$(mib "$base_r")" "$(mib "$base_s")" "$(mib "$base_p")"
for count in $counts; do
  read -r lw lp < "$work/l-$count"; read -r rw rp < "$work/r-$count"; read -r sw sp < "$work/s-$count"
  pp=$(cat "$work/pack-$count")
  printf '%d files:\n' "$count"
  printf '  launcher:  %7.2f s wall, %.3f ms a file, peak %6.1f MiB, %5.0f bytes a file above base\n' \
    "$lw" "$(echo "$lw * 1000 / $count" | bc -l)" "$(mib "$lp")" "$(echo "($lp - $base_l) / $count" | bc -l)"
  if [ -z "${BENCH_LAUNCHER_ONLY:-}" ]; then
    printf '  reference: %7.2f s wall, %.3f ms a file, peak %6.1f MiB, %5.0f bytes a file above base\n' \
      "$rw" "$(echo "$rw * 1000 / $count" | bc -l)" "$(mib "$rp")" "$(echo "($rp - $base_r) / $count" | bc -l)"
    printf '  streaming reference (the floor of memory): %7.2f s wall, peak %6.1f MiB, %5.0f bytes a file above base\n' \
      "$sw" "$(mib "$sp")" "$(echo "($sp - $base_s) / $count" | bc -l)"
    printf '  time per file launcher/reference: %.2f\n' "$(echo "$lw / $rw" | bc -l)"
  fi
  # The largest working set (sampled) until the configuration was parsed, and after.
  if grep -q '^memory ' "$work/l-$count.log" 2>/dev/null; then
    tr -d '\r' < "$work/l-$count.log" | awk '
      $1 == "memory" { if ($3 > m) m = $3 }
      $1 == "state" && $2 == 6 && !parsed { c = m; m = 0; parsed = 1 }
      END { printf "  launcher, largest working set: %.1f MiB until the configuration was parsed, %.1f MiB after\n", c / 1048576, m / 1048576 }'
  fi
  printf '  OmbrixPack: peak %.1f MiB, %.0f bytes a file above base\n' "$(mib "$pp")" \
    "$(echo "($pp - $base_p) / $count" | bc -l)"
done
