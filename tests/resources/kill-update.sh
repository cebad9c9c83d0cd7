#!/usr/bin/env bash
# Updates ended abruptly (the driver process is killed while ranges arrive and are unpacked, and
# once during the launcher batch), each followed by the next run to the same configuration or to
# the previous one (a publisher's rollback). At every stop "version.txt" names only files that
# hold exactly the recorded content; after every next run each file is byte for byte as
# published, "version.txt" lists exactly the installed files, and the next run fetches only what
# the killed run had not recorded. Prints the figures of each kill.
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

# v1; v2 changes 30 of its 40 large files and drops one; v3 is v1 plus a launcher file.
rm -rf "$work"; mkdir -p "$work/v1/game/sub" "$work/inst"
for i in $(seq 1 40); do head -c $((150000 + i * 1000)) /dev/urandom > "$work/v1/game/f$i.bin"; done
for i in $(seq 1 5); do head -c 3000 /dev/urandom > "$work/v1/game/sub/s$i.dat"; done
cp -r "$work/v1" "$work/v2"
for i in $(seq 1 30); do head -c $((160000 + i * 500)) /dev/urandom > "$work/v2/game/f$i.bin"; done
rm "$work/v2/game/f40.bin"
cp -r "$work/v1" "$work/v3"
mkdir -p "$work/v3/launcher"
head -c 3000000 /dev/urandom > "$work/v3/launcher/helper.dll"

for v in v1 v2 v3; do
  launcher=()
  [ -d "$work/$v/launcher" ] && launcher=(--launcher "C:\\$work_name\\$v\\launcher")
  "$wine_run" "$build/bin/OmbrixPack.exe" --game "C:\\$work_name\\$v\\game" "${launcher[@]}" \
    --out "C:\\$work_name\\cdn\\$v" --package-mib 2 >/dev/null </dev/null || fail "publishing $v"
done
# A slow CDN (per connection), so that the kills land while ranges are still arriving.
printf '    limit_rate 600k;\n' > "$work/slow.conf"
port="$("$serve" start "$name" "$work/cdn" 0 "$work/slow.conf" </dev/null)"
access_log="$OMBRIX_NGINX_DIR/$name/access.log"
url() { echo "http://127.0.0.1:$port/$1/config/resources.txt"; }
# Runs in a subshell only: the subshell becomes the wine process, so a kill reaches the driver.
start_update() {
  exec "$wine_run" "$build/bin/OmbrixUpdate.exe" --root "C:\\$work_name\\inst" --config "$(url "$1")" \
    --retry-pause-ms 50 </dev/null
}
# Package bytes nginx sent (for requests it completed) from log line $1 on.
package_bytes_since() { tail -n +"$1" "$access_log" | awk '$7 ~ /qzpkg/ {s += $10} END {print s + 0}'; }
log_lines() { wc -l < "$access_log" 2>/dev/null || echo 0; }

# Two-field list of the game files of a published configuration (its records, not its signed
# part), in name order.
expected_list() {
  tr -d '\r' < "$work/cdn/$1/config/resources.txt" | awk -F= 'NF >= 5 {print $1 "=" $2}' | LC_ALL=C sort
}
recorded() { tr -d '\r' < "$work/inst/version.txt" | awk -F= '$2 != "" {print $1 "=" $2}' | LC_ALL=C sort; }

# Every digest "version.txt" records is the MD5 of the file's bytes.
check_truthful() {
  local n d f checked=0
  [ -f "$work/inst/version.txt" ] || fail "$1: version.txt is gone"
  while IFS='=' read -r n d; do
    f="$work/inst/game/${n//\\//}"
    [ -f "$f" ] || fail "$1: version.txt records $n, but the file is missing"
    [ "$(md5sum "$f" | cut -d' ' -f1)" = "${d,,}" ] || fail "$1: version.txt records $n, but the file differs"
    checked=$((checked + 1))
  done < <(recorded)
  echo "$checked"
}

# The installation is exactly version $1.
check_installed() {
  (cd "$work/$1/game" && find . -type f | sort) > "$work/want.txt"
  (cd "$work/inst/game" && find . -type f | sort) > "$work/have.txt"
  diff "$work/want.txt" "$work/have.txt" >&2 || fail "$2: installed files differ from $1"
  while read -r f; do cmp -s "$work/$1/game/$f" "$work/inst/game/$f" || fail "$2: $f differs from $1"; done < "$work/want.txt"
  diff <(expected_list "$1") <(recorded) >&2 || fail "$2: version.txt does not list exactly the files of $1"
}

# Sum of the range lengths of the files of version $1 that the installation does not record.
unrecorded_bytes() {
  local -A have=()
  local n d p o len
  while IFS='=' read -r n d; do have["$n"]="$d"; done < <(recorded)
  local sum=0
  while IFS='=' read -r n d p o len _; do
    [ "${have[$n]:-}" = "$d" ] || sum=$((sum + len))
  done < <(tr -d '\r' < "$work/cdn/$1/config/resources.txt" | awk -F= 'NF >= 5')
  echo "$sum"
}

# Bytes the killed update reported as received (its last progress line).
received() { tr -d '\r' < "$work/killed.log" 2>/dev/null | awk '$1 == "progress" {p = $2} END {print p + 0}'; }
planned() { tr -d '\r' < "$1" | awk '$1 == "state" && $2 == 7 {print $3}'; }

# Runs the update to $1 and kills it once it has received $2 bytes; then the next run to $3.
# Prints one line of figures.
kill_then_run() {
  local to="$1" after="$2" next="$3" first
  (start_update "$to" > "$work/killed.log" 2>&1) &
  driver_pid=$!
  for _ in $(seq 1 1200); do
    [ "$(received)" -ge "$after" ] && break
    kill -0 "$driver_pid" 2>/dev/null || break
    sleep 0.02
  done
  kill -0 "$driver_pid" 2>/dev/null || fail "the update to $to ended before the kill: $(cat "$work/killed.log")"
  kill -9 "$driver_pid"; wait "$driver_pid" 2>/dev/null || true; driver_pid=""
  grep -q '^state 1[89]' "$work/killed.log" && fail "the update to $to finished before the kill"
  local truthful missing total again
  truthful="$(check_truthful "kill during the update to $to")"
  missing="$(unrecorded_bytes "$next")"
  first=$(( $(log_lines) + 1 ))
  (start_update "$next") > "$work/next.log" 2>&1 || fail "next run to $next: $(cat "$work/next.log")"
  total="$(planned "$work/next.log")"
  again="$(package_bytes_since "$first")"
  [ "${total:-0}" -eq "$missing" ] || fail "next run to $next planned ${total:-0} bytes, but $missing were not recorded"
  [ "$again" -le $((missing + 3 * 2 * 1048576)) ] || fail "next run to $next fetched $again bytes for $missing missing"
  check_installed "$next" "next run to $next"
  echo "kill of the update to $to (planned $(planned "$work/killed.log") bytes) after $(received) bytes:" \
    "$truthful recorded files verified; next run to $next planned $missing bytes, fetched $again"
}

(start_update v1) > "$work/run1.log" 2>&1 || fail "installing v1: $(cat "$work/run1.log")"
check_installed v1 "install v1"

kill_then_run v2 2097152 v2   # same configuration again: goes on where it stopped
kill_then_run v1 4194304 v1   # back from v2 to v1, killed later, then again
kill_then_run v2 1048576 v1   # the publisher rolled v2 back: the next run returns to v1

# The launcher batch, killed: no bundle may say complete; the next run redoes the batch.
bundle="$work/inst/launcher.tmp"
(start_update v3 > "$work/killed.log" 2>&1) &
driver_pid=$!
for _ in $(seq 1 1200); do
  [ "$(received)" -ge 1048576 ] && break
  kill -0 "$driver_pid" 2>/dev/null || break
  sleep 0.02
done
kill -0 "$driver_pid" 2>/dev/null || fail "the launcher batch ended before the kill: $(cat "$work/killed.log")"
kill -9 "$driver_pid"; wait "$driver_pid" 2>/dev/null || true; driver_pid=""
grep -q '^state 13' "$work/killed.log" || fail "the kill did not land in the launcher batch: $(cat "$work/killed.log")"
if [ -f "$bundle" ] && [ "$(head -c 1 "$bundle" | od -An -tu1 | tr -d ' ')" != 0 ]; then
  fail "a killed launcher batch left a bundle marked complete"
fi
(start_update v3) > "$work/next.log" 2>&1 || fail "next run to v3: $(cat "$work/next.log")"
grep -q '^state 18' "$work/next.log" || fail "the next run did not redo the launcher batch"
[ "$(head -c 1 "$bundle" | od -An -tu1 | tr -d ' ')" = 1 ] || fail "the bundle is not complete"
cmp -s <(tail -c +20 "$bundle" | head -c 3000000) "$work/v3/launcher/helper.dll" ||
  fail "the bundle does not carry helper.dll byte for byte"
echo "kill during the launcher batch: bundle not marked complete; next run redid the batch (state 18)"
echo "PASS"
