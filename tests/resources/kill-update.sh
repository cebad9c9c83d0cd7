#!/usr/bin/env bash
# An update ended abruptly (the driver process is killed in the middle of its downloads) must
# leave no "version.txt" that records a CDN digest for a file not holding that content; the next
# run ends with every file byte for byte and "version.txt" listing exactly the installed files.
#   kill-update.sh BUILD SOURCE
set -euo pipefail
build="$(cd "$1" && pwd)"; source_dir="$(cd "$2" && pwd)"
wine_run="$build/wine-run"
"$wine_run" cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null
work_name="ombrix-kill-$$"
work="$build/wine/prefix/drive_c/$work_name"   # C:\ombrix-kill-PID inside the test prefix
name="kill-$$"
export OMBRIX_NGINX_DIR="$build/nginx"
serve="$source_dir/tools/nginx/serve.sh"
driver_pid=""
cleanup() {
  [ -n "$driver_pid" ] && kill -9 "$driver_pid" 2>/dev/null || true
  "$serve" stop "$name" >/dev/null 2>&1 || true
  [ -n "${KEEP:-}" ] || rm -rf "$work" "$OMBRIX_NGINX_DIR/$name"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"; mkdir -p "$work/v1/sub" "$work/inst"
for i in $(seq 1 40); do head -c $((150000 + i * 1000)) /dev/urandom > "$work/v1/f$i.bin"; done
for i in $(seq 1 5); do head -c 3000 /dev/urandom > "$work/v1/sub/s$i.dat"; done
cp -r "$work/v1" "$work/v2"
for i in $(seq 1 30); do head -c $((160000 + i * 500)) /dev/urandom > "$work/v2/f$i.bin"; done
rm "$work/v2/f40.bin"

for v in v1 v2; do
  "$wine_run" "$build/bin/OmbrixPack.exe" --game "C:\\$work_name\\$v" --out "C:\\$work_name\\cdn\\$v" \
    --package-mib 2 >/dev/null </dev/null || fail "publishing $v"
done
# A slow CDN (per connection), so that the kill lands while ranges are still arriving.
printf '    limit_rate 600k;\n' > "$work/slow.conf"
port="$("$serve" start "$name" "$work/cdn" 0 "$work/slow.conf" </dev/null)"
url() { echo "http://127.0.0.1:$port/$1/config/resources.txt"; }
update() { "$wine_run" "$build/bin/OmbrixUpdate.exe" --root "C:\\$work_name\\inst" --config "$(url "$1")" --retry-pause-ms 50 </dev/null; }

# Two-field list of the game files of a published configuration, in name order.
expected_list() { tr -d '\r' < "$work/cdn/$1/config/resources.txt" | awk -F= '{print $1 "=" $2}' | LC_ALL=C sort; }

update v1 > "$work/run1.log" || fail "installing v1: $(cat "$work/run1.log")"

# The update to v2, killed once a few mebibytes have arrived.
# exec: the background job is the wine process itself, so the kill reaches the driver.
(exec "$wine_run" "$build/bin/OmbrixUpdate.exe" --root "C:\\$work_name\\inst" --config "$(url v2)" \
  --retry-pause-ms 50 </dev/null > "$work/run2.log" 2>&1) &
driver_pid=$!
for _ in $(seq 1 600); do
  grep -q '^progress' "$work/run2.log" 2>/dev/null && [ "$(grep -c '^progress' "$work/run2.log")" -ge 2 ] && break
  kill -0 "$driver_pid" 2>/dev/null || break
  sleep 0.05
done
kill -0 "$driver_pid" 2>/dev/null || fail "the update ended before it could be killed: $(cat "$work/run2.log")"
kill -9 "$driver_pid"; wait "$driver_pid" 2>/dev/null || true; driver_pid=""
grep -q '^state 19' "$work/run2.log" && fail "the update finished before the kill"

# After the kill: every digest of version.txt that is a v2 CDN digest must match its file.
[ -f "$work/inst/version.txt" ] || fail "version.txt is gone"
declare -A cdn
while IFS='=' read -r n d _; do cdn["$n"]="$d"; done < <(tr -d '\r' < "$work/cdn/v2/config/resources.txt")
checked=0
while IFS='=' read -r n d; do
  [ -n "$n" ] || continue
  [ "${cdn[$n]:-}" = "$d" ] || continue
  f="$work/inst/game/${n//\\//}"
  [ -f "$f" ] || fail "version.txt records $n with its CDN digest, but the file is missing"
  actual="$(md5sum "$f" | cut -d' ' -f1)"
  [ "${actual^^}" = "${d^^}" ] || fail "version.txt records $n with its CDN digest, but the file differs"
  checked=$((checked + 1))
done < <(tr -d '\r' < "$work/inst/version.txt")
echo "after the kill: $checked entries of version.txt name v2 content, all verified"

# Run again: everything current, byte for byte.
update v2 > "$work/run3.log" || fail "second run: $(cat "$work/run3.log")"
(cd "$work/v2" && find . -type f | sort) > "$work/want.txt"
(cd "$work/inst/game" && find . -type f | sort) > "$work/have.txt"
diff "$work/want.txt" "$work/have.txt" >&2 || fail "installed files differ from the published set"
while read -r f; do cmp -s "$work/v2/$f" "$work/inst/game/$f" || fail "$f differs"; done < "$work/want.txt"
diff <(expected_list v2) <(tr -d '\r' < "$work/inst/version.txt") >&2 || fail "version.txt does not list exactly the installed files"
echo "PASS"
