#!/usr/bin/env bash
# Benchmark of the package tool: 20,000 files of 0.5 to 20 KB (about 195 MiB, half of them
# incompressible, half text-like), in the same run:
#   1. the native baseline: tar czf of the tree, then md5sum of every file;
#   2. OmbrixPack under wine publishing the tree as release r1 of a new CDN tree;
#   3. 1% of the files changed (every hundredth), published as release r2 of the same tree.
# Prints the times, the ratios against the goals (r1 at most 2x the baseline, r2 at most a
# tenth of r1) and what r2 reused.
#   bench-pack.sh [BUILD_DIR]      (default: build; the build must hold OmbrixPack)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
[ -x "$build/bin/OmbrixPack.exe" ] || { echo "bench: build OmbrixPack in $build first" >&2; exit 1; }
"$build/wine-run" cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null   # the prefix, its session processes
# shellcheck source=/dev/null
source "$build/wine/env.sh"   # then wine itself, without the wrapper's prefix check per run

work_name="ombrix-benchpack-$$"
work="$build/wine/prefix/drive_c/$work_name"   # C:\ombrix-benchpack-PID in the build's prefix
win="C:\\$work_name"
cleanup() { [ -n "${KEEP:-}" ] || rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/src"

# FILES CHANGE: writes the tree (CHANGE 0), or rewrites every hundredth file (CHANGE 1).
generate() {
  python3 - "$work/src" "$1" <<'PY'
import os, random, sys
root, change = sys.argv[1], sys.argv[2] == "1"
rng = random.Random(11)
words = [bytes(rng.choice(b"etaoinshrdlucmfwyp") for _ in range(rng.randint(2, 9))) for _ in range(3000)]
text = b" ".join(rng.choice(words) for _ in range(900000))
extra = random.Random(23)
for i in range(20000):
    size = rng.randint(512, 20480)
    kind = rng.random()
    offset = rng.randint(0, len(text) - 20480)
    if change and i % 100 != 0:
        continue
    folder = os.path.join(root, "d%03d" % (i % 200))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.dat" % i), "wb") as f:
        if change:
            f.write(os.urandom(extra.randint(512, 20480)))
        elif kind < 0.5:
            f.write(os.urandom(size))
        else:
            f.write(text[offset:offset + size])
PY
}

now() { date +%s.%N; }
echo "bench: generating 20000 files"
generate 0
bytes=$(du -sb "$work/src" | cut -f1)

echo "bench: baseline (tar czf, then md5sum of every file)"
t0=$(now)
tar czf "$work/tree.tgz" -C "$work" src
t1=$(now)
(cd "$work/src" && find . -type f -print0 | xargs -0 md5sum >"$work/md5.txt")
t2=$(now)
tar_s=$(echo "$t1 - $t0" | bc); md5_s=$(echo "$t2 - $t1" | bc); base_s=$(echo "$t2 - $t0" | bc)

echo "bench: OmbrixPack, release r1 into a new tree"
t0=$(now)
"$WINE" "$build/bin/OmbrixPack.exe" --game "$win\\src" --cdn "$win\\cdn" --release r1 \
  </dev/null 2>/dev/null | tr -d '\r' | tee "$work/r1.txt" | sed 's/^/bench:   /'
r1_s=$(echo "$(now) - $t0" | bc)

generate 1
echo "bench: OmbrixPack, release r2 (200 files changed) into the same tree"
t0=$(now)
"$WINE" "$build/bin/OmbrixPack.exe" --game "$win\\src" --cdn "$win\\cdn" --release r2 \
  </dev/null 2>/dev/null | tr -d '\r' | tee "$work/r2.txt" | sed 's/^/bench:   /'
r2_s=$(echo "$(now) - $t0" | bc)

# Checks: every file listed, digests as md5sum has them.
lines=$(grep -c . "$work/cdn/config/r2.txt")
[ "$lines" = 20000 ] || { echo "bench: r2 lists $lines files" >&2; exit 1; }
sample=$(tr -d '\r' <"$work/cdn/config/r1.txt" | awk -F= 'NR == 777 { print $1 "=" $2 }')
name="${sample%%=*}"; digest="${sample#*=}"
grep -qi "^$digest  ./${name//\\//}\$" "$work/md5.txt" || { echo "bench: digest of $name differs" >&2; exit 1; }

reused=$(awk '/^reused:/ { print $2 " files, " $4 " bytes" }' "$work/r2.txt")
new=$(awk '/^new packages:/ { print $3 " " $4 " bytes" }' "$work/r2.txt")
printf 'files: 20000, %.1f MiB\n' "$(echo "$bytes / 1048576" | bc -l)"
printf 'baseline: %.2f s (tar czf %.2f s + md5sum %.2f s)\n' "$base_s" "$tar_s" "$md5_s"
printf 'OmbrixPack r1: %.2f s wall under wine, %d cores\n' "$r1_s" "$(nproc)"
printf 'ratio r1/baseline: %.2f (goal at most 2)\n' "$(echo "$r1_s / $base_s" | bc -l)"
printf 'OmbrixPack r2 (1%% changed): %.2f s; reused %s of packages; new: %s\n' "$r2_s" "$reused" "$new"
printf 'ratio r2/r1: %.3f (goal at most 0.1)\n' "$(echo "$r2_s / $r1_s" | bc -l)"
