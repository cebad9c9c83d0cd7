#!/usr/bin/env bash
# Benchmark of the download engine against nginx on loopback: 2,000 adjacent tasks of 25 KiB
# (about 50 MiB, five merged requests) through the dispatcher with three workers, then curl
# fetching the same five ranges (three at a time, like the workers), and the ratio; first over
# plain HTTP, then over HTTPS (TLS 1.2, the build tree's test authority), with both throughputs.
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
serve="$here/tools/nginx/serve.sh"
"$here/tools/wine/prefix.sh" "$build" >/dev/null 2>&1  # also makes the test authority
port="$(timeout 30 "$serve" start bench "$root")"
tls_port="$(timeout 30 "$serve" start --tls "$build/tls" bench-tls "$root")"
trap 'timeout 30 "$serve" stop bench >/dev/null 2>&1 || true
      timeout 30 "$serve" stop bench-tls >/dev/null 2>&1 || true' EXIT

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

# One scheme: the engine, then curl, against the server NAME at URL.
bench() {
  local scheme="$1" name="$2" url="$3" log start finish engine requests engine_seconds
  local curl_start curl_finish curl_seconds
  log="$OMBRIX_NGINX_DIR/$name/access.log"
  : > "$log"
  start=$(date +%s.%N)
  engine="$(timeout 600 "$build/wine-run" "$build/bin/bench-download.exe" "$url" "$count" "$size")"
  finish=$(date +%s.%N)
  sleep 0.2
  requests=$(wc -l < "$log")
  engine_seconds=$(echo "$engine" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
  curl_start=$(date +%s.%N)
  printf '%s\n' "${ranges[@]}" |
    xargs -P 3 -I{} curl -s --cacert "$build/tls/ca.pem" -o /dev/null -r {} "$url"
  curl_finish=$(date +%s.%N)
  curl_seconds=$(echo "$curl_finish - $curl_start" | bc -l)
  echo "$scheme engine:   $engine"
  echo "$scheme engine:   requests=$requests wall(including wine start)=$(echo "$finish - $start" | bc -l | xargs printf '%.3f')s"
  echo "$scheme curl:     ranges=${#ranges[@]} seconds=$(printf '%.3f' "$curl_seconds")"
  echo "$scheme ratio:    engine/curl=$(echo "$engine_seconds / $curl_seconds" | bc -l | xargs printf '%.2f')"
  eval "${scheme}_engine=$engine_seconds ${scheme}_curl=$curl_seconds"
}

bench http bench "http://127.0.0.1:$port/pkg.bin"
bench https bench-tls "https://localhost:$tls_port/pkg.bin"
mib=$(echo "$total / 1048576" | bc -l)
echo "MiB/s:    engine http=$(echo "$mib / $http_engine" | bc -l | xargs printf '%.1f') https=$(echo "$mib / $https_engine" | bc -l | xargs printf '%.1f')" \
  "  curl http=$(echo "$mib / $http_curl" | bc -l | xargs printf '%.1f') https=$(echo "$mib / $https_curl" | bc -l | xargs printf '%.1f')"
