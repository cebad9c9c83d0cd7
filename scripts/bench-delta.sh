#!/usr/bin/env bash
# Benchmark of an update of one large file from its chunks. A 512 MiB file of incompressible data
# is published by the package tool (release 1) and installed by OmbrixUpdate under wine from nginx
# on 127.0.0.1; release 2 changes 10 scattered regions of 50 KiB and inserts 4 MiB in the middle.
# Then, in the same run:
#   1. the update of the installation from release 1 to release 2 (the chunks the copy lacks);
#   2. the same update of a copy of the installation without the old file (the whole file).
# Prints the package bytes each fetched (nginx's access log), the changed bytes, the whole file's
# range, both wall times and the peak working sets.
#   bench-delta.sh [BUILD_DIR]      (default: build; the build must hold OmbrixPack/OmbrixUpdate)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=bench-lib.sh
source "$here/scripts/bench-lib.sh"
bench_init bench-delta "${1:-$here/build}" OmbrixPack OmbrixUpdate
rm -rf "$work"; mkdir -p "$work/src1" "$work/src2"

echo "bench: generating the two releases"
python3 - "$work" <<'PY'
import os, random, sys
work = sys.argv[1]
size = 512 << 20
data = bytearray(os.urandom(size))
with open(os.path.join(work, "src1", "big.pak"), "wb") as f:
    f.write(data)
rng = random.Random(11)
changed = 0
for k in range(10):
    at = (k * size) // 10 + rng.randint(0, size // 20)
    data[at:at + 51200] = os.urandom(51200)
    changed += 51200
middle = size // 2 + 12345
data[middle:middle] = os.urandom(4 << 20)
changed += 4 << 20
with open(os.path.join(work, "src2", "big.pak"), "wb") as f:
    f.write(data)
with open(os.path.join(work, "changed.txt"), "w") as f:
    f.write(str(changed))
PY
pack() { "$wine_run" "$bin/OmbrixPack.exe" --game "C:\\$work_name\\$1" --cdn "C:\\$work_name\\cdn" --release "$2" </dev/null >/dev/null; }
echo "bench: publishing with OmbrixPack"
pack src1 r1
pack src2 r2
port="$("$serve" start "$name" "$work/cdn" 0 </dev/null)"
access="$OMBRIX_NGINX_DIR/$name/access.log"
update() {  # ROOT RELEASE -> its output in $work/ROOT.log
  "$wine_run" "$bin/OmbrixUpdate.exe" --root "C:\\$work_name\\$1" \
    --config "http://127.0.0.1:$port/config/$2.txt" </dev/null > "$work/$1.log"
  grep -q '^state 19' "$work/$1.log" || { cat "$work/$1.log" >&2; exit 1; }
}
package_bytes() {  # bytes of package responses in the access log from byte $1 on
  tail -c +"$(($1 + 1))" "$access" | awk '$7 ~ /\/pkg\// {sum += $10} END {print sum + 0}'
}
all_bytes() {
  tail -c +"$(($1 + 1))" "$access" | awk '{sum += $10} END {print sum + 0}'
}
echo "bench: installing release 1"
update inst r1
cp -a "$work/inst" "$work/whole"
rm -f "$work/whole/game/big.pak"

echo "bench: update to release 2 from the copy on disk"
from=$(stat -c %s "$access")
start=$(now)
update inst r2
delta_s=$(echo "$(now) - $start" | bc)
delta_pkg=$(package_bytes "$from")
delta_all=$(all_bytes "$from")
cmp "$work/src2/big.pak" "$work/inst/game/big.pak"

echo "bench: update to release 2 without the old file (the whole file)"
from=$(stat -c %s "$access")
start=$(now)
update whole r2
whole_s=$(echo "$(now) - $start" | bc)
whole_pkg=$(package_bytes "$from")
cmp "$work/src2/big.pak" "$work/whole/game/big.pak"

changed=$(cat "$work/changed.txt")
range=$(tr -d '\r' < "$work/cdn/config/r2.txt" | awk -F= '$1 == "big.pak" {print $5}')
chunks=$(tr -d '\r' < "$work/cdn/config/r2.txt" | awk -F= '$1 == "chunks" {print $3}')
chunk_count=$(($(wc -l < "$work/cdn/$chunks") - 1))
size=$(stat -c %s "$work/src2/big.pak")
avg=$((size / chunk_count))
peak() { printf '%.1f' "$(echo "$(field "$work/$1.log" peak_working_set) / 1048576" | bc -l)"; }
printf 'file: %d bytes in %d chunks (average %d bytes)\n' "$size" "$chunk_count" "$avg"
printf 'changed bytes: %d (10 x 50 KiB changed, 4 MiB inserted)\n' "$changed"
printf 'fetched from packages: %d bytes (%.2f%% of the file; %.2f x changed; goal <= %d)\n' \
  "$delta_pkg" "$(echo "$delta_pkg * 100 / $size" | bc -l)" "$(echo "$delta_pkg / $changed" | bc -l)" \
  "$(echo "$changed * 3 / 2 + 11 * $avg" | bc)"
printf 'fetched in all (with the chunk list and configuration): %d bytes\n' "$delta_all"
printf 'whole file range: %d bytes; fetched without the old copy: %d bytes\n' "$range" "$whole_pkg"
printf 'update wall time: from chunks %.2f s, whole file %.2f s\n' "$delta_s" "$whole_s"
printf 'peak working set: from chunks %s MiB, whole file %s MiB\n' "$(peak inst)" "$(peak whole)"
