#!/usr/bin/env bash
# Runs a test program against private nginx instances on free loopback ports: makes the data
# file, starts nginx (plain HTTP; TLS with the build tree's test authority; TLS with an
# authority nobody trusts), gives the program the ports, the file's path and the servers' log
# folder in its environment, and stops nginx again whatever the outcome.
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
stop_all() {
  for name in download-test download-tls download-untrusted; do
    timeout 30 "$serve" stop "$name" >/dev/null 2>&1 || true
  done
}
trap stop_all EXIT
bash "$src/tools/nginx/test-ca.sh" "$build"
port="$(timeout 30 "$serve" start download-test "$root")"
# The TLS server also sends a redirect to the plain one.
mkdir -p "$OMBRIX_NGINX_DIR"
echo "    location = /to-plain.bin { return 302 http://127.0.0.1:$port/pkg.bin; }" \
  > "$OMBRIX_NGINX_DIR/tls.conf"
tls_port="$(timeout 30 "$serve" start --tls "$build/tls" download-tls "$root" 0 \
  "$OMBRIX_NGINX_DIR/tls.conf")"
untrusted_port="$(timeout 30 "$serve" start --tls "$build/tls/untrusted" download-untrusted "$root")"
export OMBRIX_TEST_NGINX_PORT="$port"
export OMBRIX_TEST_NGINX_TLS_PORT="$tls_port"
export OMBRIX_TEST_NGINX_UNTRUSTED_PORT="$untrusted_port"
export OMBRIX_TEST_NGINX_FILE="Z:$(echo "$root/pkg.bin" | sed 's|/|\\|g')"
export OMBRIX_TEST_NGINX_LOGS="Z:$(echo "$OMBRIX_NGINX_DIR" | sed 's|/|\\|g')"
"$build/wine-run" "$exe"
