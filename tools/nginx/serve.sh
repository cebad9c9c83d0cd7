#!/usr/bin/env bash
# Starts and stops private nginx instances on 127.0.0.1 for the tests, benchmarks and demo.
#   serve.sh start [--tls DIR] NAME ROOT [PORT] [EXTRA_CONF]  -> prints the port (0 or none =
#                                                                a free one)
#   serve.sh stop NAME
# State lives in $OMBRIX_NGINX_DIR (default: build/nginx) under NAME/. EXTRA_CONF is a file
# whose text goes into the server block (for example a location answering the notice POST).
# With --tls the port speaks TLS 1.2 only, with DIR/server.pem (the chain) and DIR/server.key
# (tools/nginx/test-ca.sh makes them).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
base="${OMBRIX_NGINX_DIR:-$here/build/nginx}"
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

cmd="${1:-}"; shift || true
tls=""
if [ "${1:-}" = --tls ]; then tls="$(cd "$2" && pwd)"; shift 2; fi
name="${1:-}"
[ -n "$cmd" ] && [ -n "$name" ] || { echo "usage: serve.sh start|stop [--tls DIR] NAME [ROOT] [PORT] [EXTRA_CONF]" >&2; exit 2; }
set -- "$cmd" "$@"
dir="$base/$name"

case "$cmd" in
start)
  root="$(cd "$3" && pwd)"; port="${4:-0}"; extra="${5:-}"
  "$0" stop "$name" >/dev/null 2>&1 || true
  [ "$port" = 0 ] && port="$(free_port)"
  mkdir -p "$dir/tmp"
  {
    cat <<CONF
daemon on;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 256; }
http {
  # The combined format with the Range header appended (the fields before it keep their places).
  log_format ranged '\$remote_addr - \$remote_user [\$time_local] "\$request" \$status '
                    '\$body_bytes_sent "\$http_referer" "\$http_user_agent" "\$http_range"';
  access_log $dir/access.log ranged;
  log_format body escape=none '\$request_body';
  client_body_temp_path $dir/tmp/body;
  proxy_temp_path $dir/tmp/proxy;
  fastcgi_temp_path $dir/tmp/fastcgi;
  uwsgi_temp_path $dir/tmp/uwsgi;
  scgi_temp_path $dir/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    root $root;
CONF
    if [ -n "$tls" ]; then
      cat <<CONF
    listen 127.0.0.1:$port ssl;
    ssl_protocols TLSv1.2;
    ssl_certificate $tls/server.pem;
    ssl_certificate_key $tls/server.key;
CONF
    else
      echo "    listen 127.0.0.1:$port;"
    fi
    [ -n "$extra" ] && cat "$extra"
    echo "  }"
    echo "}"
  } > "$dir/nginx.conf"
  "$nginx_bin" -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log" 2>>"$dir/error.log"
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  echo "$port" > "$dir/port"
  echo "$port"
  ;;
stop)
  if [ -f "$dir/nginx.pid" ]; then
    kill "$(cat "$dir/nginx.pid")" 2>/dev/null || true
    for _ in $(seq 50); do [ -f "$dir/nginx.pid" ] || break; sleep 0.1; done
  fi
  ;;
*) echo "serve.sh: unknown command $cmd" >&2; exit 2 ;;
esac
