#!/usr/bin/env bash
# Runs a test program under wine with a private nginx CDN on 127.0.0.1 (a free port), serving
# C:\ombrix-cdn\ of the build tree's wine prefix. The program finds the CDN through
#   OMBRIX_TEST_CDN_URL   http://127.0.0.1:PORT/
#   OMBRIX_TEST_CDN_ROOT  C:\ombrix-cdn\  (the served folder, written by the test itself)
#   OMBRIX_TEST_CDN_LOG   the access log, as a wine path (read only)
#   OMBRIX_TEST_DEAD_URL  http://127.0.0.1:PORT2/ where nothing listens
#   run-with-cdn.sh BUILD SOURCE PROGRAM [ARGS...]
set -euo pipefail
build="$(cd "$1" && pwd)"; source_dir="$(cd "$2" && pwd)"; shift 2
# Wine's session processes start with the first program and outlive it; started here, they do
# not hold on to the output of the test run.
"$build/wine-run" cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null
name="cdn-$$"
root="$build/wine/prefix/drive_c/ombrix-cdn-$$"
rm -rf "$root" && mkdir -p "$root"
export OMBRIX_NGINX_DIR="$build/nginx"
serve="$source_dir/tools/nginx/serve.sh"
cleanup() { "$serve" stop "$name" >/dev/null 2>&1 || true; rm -rf "$root" "$OMBRIX_NGINX_DIR/$name"; }
trap cleanup EXIT
port="$("$serve" start "$name" "$root" 0 </dev/null)"
dead="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')"
export OMBRIX_TEST_CDN_URL="http://127.0.0.1:$port/"
export OMBRIX_TEST_CDN_ROOT="C:\\ombrix-cdn-$$\\"
export OMBRIX_TEST_CDN_LOG="Z:$(echo "$OMBRIX_NGINX_DIR/$name/access.log" | sed 's|/|\\|g')"
export OMBRIX_TEST_DEAD_URL="http://127.0.0.1:$dead/"
"$build/wine-run" "$@"
