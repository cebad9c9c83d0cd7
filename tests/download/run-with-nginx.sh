#!/usr/bin/env bash
# Runs a test program against a private nginx on a free loopback port: makes the data file,
# starts nginx, gives the program the port and the file's path in its environment, and stops
# nginx again whatever the outcome.
#   run-with-nginx.sh SOURCE_DIR BUILD_DIR PROGRAM.exe
set -euo pipefail
src="$1"; build="$2"; exe="$3"
base="$build/download-nginx"
root="$base/root"
mkdir -p "$root"
# Three megabytes of fixed pseudo-random bytes (the same on every run).
if [ ! -s "$root/pkg.bin" ]; then
  python3 -c 'import random,sys; r=random.Random(20240611); sys.stdout.buffer.write(r.randbytes(3000000))' > "$root/pkg.bin"
fi
export OMBRIX_NGINX_DIR="$base/nginx"
serve="$src/tools/nginx/serve.sh"
port="$(timeout 30 "$serve" start download-test "$root")"
trap 'timeout 30 "$serve" stop download-test >/dev/null 2>&1 || true' EXIT
export OMBRIX_TEST_NGINX_PORT="$port"
export OMBRIX_TEST_NGINX_FILE="Z:$(echo "$root/pkg.bin" | sed 's|/|\\|g')"
"$build/wine-run" "$exe"
