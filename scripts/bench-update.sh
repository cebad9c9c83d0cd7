#!/usr/bin/env bash
# Benchmark of a fresh update of two sets, each published by the package tool and served by nginx
# on 127.0.0.1: 2,000 files of 50 to 150 KB of incompressible data (about 200 MiB compressed),
# and 20,000 files of 0.5 to 20 KB, half text, half random data.
#   1. the launcher: OmbrixUpdate.exe (the resource manager without a window) under wine, writing
#      its log as the launcher does;
#   2. a native baseline: curl fetching the same merged ranges (adjacent ranges of a package
#      joined up to 10 MiB, as the launcher's dispatcher does) over three parallel connections,
#      then gunzip of every range (zlib's inflate).
# Prints, per set, both wall times, their ratio and the launcher's peak working set. A build
# whose package tool signs publishes signed sets (a key made for the run), and the cost of the
# launcher's check is printed too: the median time OmbrixUpdate spends checking and parsing the
# configuration over five updates with nothing to fetch, with and without the publisher key
# (signature, serial, SHA-256 field of every line).
# BENCH_SET=small (2,000 files) or large (20,000) runs one set.
#   bench-update.sh [BUILD_DIR]      (default: build; the build must hold OmbrixPack/OmbrixUpdate)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench-lib.sh
source "$here/scripts/bench-lib.sh"
bench_init bench "${1:-$here/build}" OmbrixPack OmbrixUpdate
# One set: COUNT files of LOW to HIGH bytes, TEXT_SHARE of them text, in FOLDERS folders.
run_set() {
count="$1"; low="$2"; high="$3"; text_share="$4"; folders="$5"
rm -rf "$work"; "$serve" stop "$name" >/dev/null 2>&1 || true
mkdir -p "$work/src" "$work/baseline/segments" "$work/baseline/files"

echo "bench: generating $count files"
bench_make_set "$work/src" "$count" "$low" "$high" "$text_share" "$((count / folders))" 7
echo "bench: publishing with OmbrixPack"
key_args=()
if "$wine_run" "$bin/OmbrixPack.exe" --new-key "C:\\$work_name\\publisher.key" </dev/null >/dev/null 2>&1; then
  key_args=(--key "C:\\$work_name\\publisher.key")
fi
"$wine_run" "$bin/OmbrixPack.exe" --game "C:\\$work_name\\src" --out "C:\\$work_name\\cdn" "${key_args[@]}" </dev/null
port="$("$serve" start "$name" "$work/cdn" 0 </dev/null)"
config="$work/cdn/config/resources.txt"

echo "bench: launcher (OmbrixUpdate under wine)"
start=$(now)
"$wine_run" "$bin/OmbrixUpdate.exe" --root "C:\\$work_name\\inst" \
  --config "http://127.0.0.1:$port/config/resources.txt" --log "C:\\$work_name\\update.log" \
  </dev/null > "$work/launcher.log"
launcher_s=$(echo "$(now) - $start" | bc)
grep -q '^state 19' "$work/launcher.log" || { cat "$work/launcher.log" >&2; exit 1; }
inner_ms=$(field "$work/launcher.log" elapsed_ms)
peak=$(field "$work/launcher.log" peak_working_set)
# The installed files are the published ones.
diff -rq "$work/src" "$work/inst/game" >/dev/null

echo "bench: baseline (curl, 3 connections, then gunzip of every range)"
python3 - "$config" "$port" "$work/baseline" <<'PY'
import sys
config, port, out = sys.argv[1:4]
ranges = {}
for line in open(config, encoding="utf-8", newline="").read().split("\r\n"):
    if not line.strip():
        break  # the records end at the blank line (a signed part may follow)
    name, md5, pkg, off, length = line.split("=")[:5]
    ranges.setdefault(pkg, []).append((int(off), int(length), name))
segments = []
for pkg in sorted(ranges):
    for off, length, name in sorted(ranges[pkg]):
        s = segments[-1] if segments else None
        if s and s["pkg"] == pkg and s["len"] < 10485760 and s["off"] + s["len"] == off:
            s["len"] += length
            s["files"].append((off, length, name))
        else:
            segments.append({"pkg": pkg, "off": off, "len": length, "files": [(off, length, name)]})
with open(out + "/curl.txt", "w") as f:
    for i, s in enumerate(segments):
        f.write("http://127.0.0.1:%s/%s/qz_game.qzpkg %d-%d %s/segments/%05d\n"
                % (port, s["pkg"], s["off"], s["off"] + s["len"] - 1, out, i))
with open(out + "/split.txt", "w") as f:
    for i, s in enumerate(segments):
        for off, length, name in s["files"]:
            f.write("%05d %d %d %s\n" % (i, off - s["off"], length, name.replace("\\", "/")))
PY
start=$(now)
xargs -P3 -L1 sh -c 'curl -s -f -r "$1" -o "$2" "$0"' < "$work/baseline/curl.txt"
fetched=$(now)
python3 - "$work/baseline" <<'PY'
import os, sys, zlib
out = sys.argv[1]
for line in open(out + "/split.txt"):
    seg, off, length, name = line.split(" ", 3)
    name = name.rstrip("\n")
    with open("%s/segments/%s" % (out, seg), "rb") as f:
        f.seek(int(off))
        data = f.read(int(length))
    path = os.path.join(out, "files", name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(zlib.decompressobj(31).decompress(data))
PY
done_at=$(now)
baseline_s=$(echo "$done_at - $start" | bc)
fetch_s=$(echo "$fetched - $start" | bc)
diff -rq "$work/src" "$work/baseline/files" >/dev/null

# What checking the signed configuration adds: the time OmbrixUpdate takes to check and parse
# it (nothing else: file checks vary too much under load), median of five updates with nothing
# to fetch, with and without the publisher key.
median_us() {
  for _ in 1 2 3 4 5; do
    "$wine_run" "$bin/OmbrixUpdate.exe" --root "C:\\$work_name\\inst" \
      --config "http://127.0.0.1:$port/config/resources.txt" "$@" </dev/null |
      tr -d '\r' | awk '/^config_check_us/ {print $2}'
  done | sort -n | sed -n 3p
}
check_line=""
if [ "${#key_args[@]}" -gt 0 ]; then
  plain_us=$(median_us)
  signed_us=$(median_us --publisher-key "C:\\$work_name\\publisher.key.pub")
  check_line=$(printf 'configuration of %d lines checked and parsed: %.1f ms with the key, %.1f ms without (median of 5): %+.1f ms' \
    "$count" "$(echo "$signed_us / 1000" | bc -l)" "$(echo "$plain_us / 1000" | bc -l)" \
    "$(echo "($signed_us - $plain_us) / 1000" | bc -l)")
fi

segments=$(wc -l < "$work/baseline/curl.txt")
compressed=$(du -sb "$work/cdn/pkg" | cut -f1)
printf 'files: %d, compressed: %.1f MiB in %d merged ranges\n' "$count" "$(echo "$compressed / 1048576" | bc -l)" "$segments"
printf 'launcher: %.2f s wall (%.2f s inside the process, the rest is wine start-up)\n' "$launcher_s" "$(echo "$inner_ms / 1000" | bc -l)"
printf 'baseline: %.2f s wall (curl %.2f s, gunzip %.2f s)\n' "$baseline_s" "$fetch_s" "$(echo "$baseline_s - $fetch_s" | bc)"
printf 'ratio launcher/baseline: %.2f\n' "$(echo "$launcher_s / $baseline_s" | bc -l)"
printf 'launcher peak working set: %.1f MiB\n' "$(echo "$peak / 1048576" | bc -l)"
printf 'launcher log: %d lines, %d bytes\n' "$(wc -l < "$work/update.log")" "$(wc -c < "$work/update.log")"
printf 'time per file: launcher %.3f ms, baseline %.3f ms\n' "$(echo "$launcher_s * 1000 / $count" | bc -l)" "$(echo "$baseline_s * 1000 / $count" | bc -l)"
[ -z "$check_line" ] || echo "$check_line"
}

# BENCH_SET=small or large runs one set only.
case "${BENCH_SET:-both}" in both | small) run_set 2000 52000 157000 0 40 ;; esac
case "${BENCH_SET:-both}" in both | large) run_set 20000 500 20000 0.5 200 ;; esac
