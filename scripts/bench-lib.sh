#!/usr/bin/env bash
# Pieces shared by the benchmarks that publish generated sets and serve them with nginx on
# 127.0.0.1. Sourced, never run:
#   bench_init TAG BUILD_DIR EXE...  checks the programs, starts the build's wine prefix and sets
#                                    build, bin (the programs' folder: BENCH_BIN, else the
#                                    build's bin), wine_run, name, work_name, work (C:\<work_name>
#                                    in the prefix), serve; the work folder and server go at exit
#   bench_make_set DIR COUNT LOW HIGH TEXT_SHARE PER_FOLDER [SEED]
#                                    COUNT files of LOW to HIGH bytes, TEXT_SHARE of them text,
#                                    the rest random, PER_FOLDER files a folder
#   now, field LOG KEY, median VALUES...
bench_init() {
  local tag="$1" exe
  build="$(cd "$2" && pwd)"
  shift 2
  bin="$(cd "${BENCH_BIN:-$build/bin}" && pwd)"
  wine_run="$build/wine-run"
  for exe in "$@"; do
    [ -x "$bin/$exe.exe" ] || { echo "bench: build $exe in $bin first" >&2; exit 1; }
  done
  "$wine_run" cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null   # the prefix and its session processes
  name="$tag-$$"
  work_name="ombrix-$tag-$$"
  work="$build/wine/prefix/drive_c/$work_name"   # C:\ombrix-TAG-PID in the build's wine prefix
  export OMBRIX_NGINX_DIR="$build/nginx"
  serve="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tools/nginx/serve.sh"
  trap bench_cleanup EXIT
  mkdir -p "$work"
}

bench_cleanup() {
  "$serve" stop "$name" >/dev/null 2>&1 || true
  [ -n "${KEEP:-}" ] || rm -rf "$work" "$OMBRIX_NGINX_DIR/$name"
}

bench_make_set() {
  python3 - "$@" <<'PY'
import os, random, sys
root, count, low, high = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
text_share, per_folder = float(sys.argv[5]), int(sys.argv[6])
rng = random.Random(int(sys.argv[7]) if len(sys.argv) > 7 else count)
words = [b"sword", b"shield", b"quest", b"dragon", b"mana", b"guild", b"potion", b"castle"]
folders = max(1, (count + per_folder - 1) // per_folder)
for i in range(count):
    folder = os.path.join(root, "d%03d" % (i % folders))
    if i < folders:
        os.makedirs(folder, exist_ok=True)
    size = rng.randint(low, high)
    if rng.random() < text_share:
        data = b" ".join(rng.choice(words) for _ in range(size // 5 + 1))[:size]
    else:
        data = os.urandom(size)
    with open(os.path.join(folder, "f%06d.dat" % i), "wb") as f:
        f.write(data)
PY
}

now() { date +%s.%N; }
field() { tr -d '\r' < "$1" | awk -v k="$2" '$1 == k {print $2}'; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
