#!/usr/bin/env bash
# Benchmark of the download engine against nginx on loopback: 2,000 adjacent tasks of 25 KiB
# (about 50 MiB, five merged requests) through the dispatcher with three workers, then curl
# fetching the same five ranges (three at a time, like the workers), and the ratio.
#   scripts/bench-download.sh [BUILD_DIR]   (default: build; the tree must be configured)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
count=2000
size=25600
cmake --build "$build" --target bench-download >/dev/null

base="$build/bench-download"
root="$base/root"
mkdir -p "$root"
total=$((count * size))
if [ "$(stat -c %s "$root/pkg.bin" 2>/dev/null || echo 0)" != "$total" ]; then
  head -c "$total" /dev/urandom > "$root/pkg.bin"
fi
export OMBRIX_NGINX_DIR="$base/nginx"
port="$(timeout 30 "$here/tools/nginx/serve.sh" start bench "$root")"
trap 'timeout 30 "$here/tools/nginx/serve.sh" stop bench >/dev/null 2>&1 || true' EXIT
log="$OMBRIX_NGINX_DIR/bench/access.log"
url="http://127.0.0.1:$port/pkg.bin"

"$here/tools/wine/prefix.sh" "$build" >/dev/null 2>&1
: > "$log"
start=$(date +%s.%N)
engine="$(timeout 600 "$build/wine-run" "$build/bin/bench-download.exe" "$url" "$count" "$size")"
finish=$(date +%s.%N)
sleep 0.2
requests=$(wc -l < "$log")
engine_seconds=$(echo "$engine" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')

# The same ranges as the engine's segments: each grows while below 10 MiB.
ranges=()
limit=10485760
first=0
while [ "$first" -lt "$total" ]; do
  length=0
  while [ "$length" -lt "$limit" ] && [ $((first + length)) -lt "$total" ]; do
    length=$((length + size))
  done
  ranges+=("$first-$((first + length - 1))")
  first=$((first + length))
done
curl_start=$(date +%s.%N)
printf '%s\n' "${ranges[@]}" |
  xargs -P 3 -I{} curl -s -o /dev/null -r {} "$url"
curl_finish=$(date +%s.%N)
curl_seconds=$(echo "$curl_finish - $curl_start" | bc -l)

echo "engine:   $engine"
echo "engine:   requests=$requests wall(including wine start)=$(echo "$finish - $start" | bc -l | xargs printf '%.3f')s"
echo "curl:     ranges=${#ranges[@]} seconds=$(printf '%.3f' "$curl_seconds")"
echo "ratio:    engine/curl=$(echo "$engine_seconds / $curl_seconds" | bc -l | xargs printf '%.2f')"
