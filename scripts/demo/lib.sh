# Shell functions shared by the demo (scripts/run.sh) and the end-to-end tests (tests/e2e):
# publishing a game with the package tool, the notice service and the CDN on nginx, and the
# launcher run under launcher_watch with its events, answers and screenshots.
# Sourced (not run); the caller has sourced a wine prefix's env.sh and sets
#   OMBRIX_SRC    the source tree          OMBRIX_BIN  the build tree's bin folder
#   OMBRIX_NGINX_DIR  where nginx keeps its state (inside the build tree)
# shellcheck shell=bash

ombrix_notice_port=8001

# The Windows form of a Linux path: C:\... inside the prefix's drive_c, Z:\... elsewhere.
win_path() {
  local path drive_c
  path="$(realpath -m "$1")"
  drive_c="$(realpath -m "$WINEPREFIX/drive_c")"
  if [ "${path#"$drive_c"/}" != "$path" ]; then
    path="C:/${path#"$drive_c"/}"
  else
    path="Z:$path"
  fi
  printf '%s' "${path//\//\\}"
}

# Makes the game's files in DIR at PERCENT of the full size (make-game-files.sh), once: they
# are made again only when the generator or the size changed.
game_files() {
  local dir="$1" percent="$2" stamp
  stamp="$(md5sum <"$OMBRIX_SRC/scripts/demo/make-game-files.sh" | cut -d' ' -f1) $percent"
  [ -f "$dir.done" ] && [ "$(cat "$dir.done")" = "$stamp" ] && return 0
  rm -rf "$dir" "$dir.done"
  bash "$OMBRIX_SRC/scripts/demo/make-game-files.sh" "$dir" "$percent"
  echo "$stamp" >"$dir.done"
}

# The publisher's private key of this build (made with it; its public half is built into the
# launcher), as options of the package tool; none when the build was given another key.
signing_args() {
  local key="$OMBRIX_BIN/../publisher/publisher.key"
  [ -f "$key" ] && printf '%s\n' --key "$(win_path "$key")"
}

# Signs a configuration written by hand (FILE: its record lines) with the build's key, as the
# package tool signs: a line holding a space, release=NAME, serial=SERIAL, signed=UTC time, then
# signature=HEX of the ECDSA P-256 signature (r || s) over every byte before that line.
sign_config() {
  local file="$1" name="$2" serial="$3" pem="$OMBRIX_BIN/../publisher/publisher.pem" der r s
  printf ' \r\nrelease=%s\r\nserial=%s\r\nsigned=%s\r\n' "$name" "$serial" \
    "$(date -u +%Y-%m-%dT%H:%M:%SZ)" >>"$file"
  der="$(openssl dgst -sha256 -sign "$pem" -binary "$file" | openssl asn1parse -inform DER |
    sed -n 's/.*INTEGER *://p')"
  r="$(printf '%064s' "$(sed -n 1p <<<"$der")" | tr ' ' 0)"
  s="$(printf '%064s' "$(sed -n 2p <<<"$der")" | tr ' ' 0)"
  printf 'signature=%s%s\r\n' "${r: -64}" "${s: -64}" >>"$file"
}

# Publishes GAME_DIR (and LAUNCHER_DIR when not empty) into OUT with the package tool.
publish() {
  local game="$1" launcher="$2" out="$3" args
  args=(--game "$(win_path "$game")" --out "$(win_path "$out")")
  [ -n "$launcher" ] && args+=(--launcher "$(win_path "$launcher")")
  mapfile -t -O "${#args[@]}" args < <(signing_args)
  "$WINE" "$OMBRIX_BIN/OmbrixPack.exe" "${args[@]}" </dev/null 2>/dev/null | tr -d '\r'
}

# Publishes GAME_DIR (and LAUNCHER_DIR when not empty) as release NAME of the CDN tree TREE.
publish_release() {
  local game="$1" launcher="$2" tree="$3" name="$4" args
  args=(--game "$(win_path "$game")" --cdn "$(win_path "$tree")" --release "$name")
  [ -n "$launcher" ] && args+=(--launcher "$(win_path "$launcher")")
  mapfile -t -O "${#args[@]}" args < <(signing_args)
  "$WINE" "$OMBRIX_BIN/OmbrixPack.exe" "${args[@]}" </dev/null 2>&1 | tr -d '\r'
}

# Makes the notice answer FILE name release NAME of TREE with the package tool (ARGS: more of
# its options, such as --url and --code-list).
switch_release() {
  local tree="$1" name="$2" file="$3"; shift 3
  local signing
  mapfile -t signing < <(signing_args)
  "$WINE" "$OMBRIX_BIN/OmbrixPack.exe" --cdn "$(win_path "$tree")" --notice "$(win_path "$file")" \
    --release "$name" "${signing[@]}" "$@" </dev/null 2>&1 | tr -d '\r'
}

# The name=digest lines of the launcher's files in a published configuration: what an
# installed launcher keeps in its "launcher_manifest.txt".
launcher_manifest_of() {
  tr -d '\r' <"$1" | awk -F= 'tolower($6) == "launcher" { printf "%s=%s\r\n", $1, $2 }'
}

# Starts the notice service on 127.0.0.1:8001: a POST to /notice_upgrade is answered with the
# package URL and the code list. Every request body is recorded (notice_versions); nginx reads
# a body only for a request it passes on, so the answer comes through a second location.
notice_start() {
  local url="$1" codes="$2" conf="$OMBRIX_NGINX_DIR/notice.conf"
  mkdir -p "$OMBRIX_NGINX_DIR/empty"
  cat >"$conf" <<CONF
    location = /notice_upgrade {
      if (\$request_method != POST) { return 405; }
      access_log $OMBRIX_NGINX_DIR/notice/access.log;
      access_log $OMBRIX_NGINX_DIR/notice/bodies.log body;
      proxy_pass http://127.0.0.1:$ombrix_notice_port/notice_answer;
    }
    location = /notice_answer {
      access_log off;
      default_type application/json;
      return 200 '{"Code":"$codes","PCPackageURL":"$url"}';
    }
CONF
  "$OMBRIX_SRC/tools/nginx/serve.sh" stop notice >/dev/null 2>&1 || true
  # The port is fixed: give an instance that is still shutting down a moment to let go of it.
  for _ in $(seq 100); do port_in_use "$ombrix_notice_port" || break; sleep 0.1; done
  if port_in_use "$ombrix_notice_port" ||
    ! "$OMBRIX_SRC/tools/nginx/serve.sh" start notice "$OMBRIX_NGINX_DIR/empty" \
      "$ombrix_notice_port" "$conf" >/dev/null 2>&1 </dev/null; then
    echo "the notice service cannot listen on 127.0.0.1:$ombrix_notice_port (in use?)" >&2
    return 1
  fi
}

# Like notice_start, but the answer is the file FILE, read at every request: rewriting the file
# switches the players.
notice_serve() {
  local file="$1" conf="$OMBRIX_NGINX_DIR/notice.conf"
  mkdir -p "$OMBRIX_NGINX_DIR/empty"
  cat >"$conf" <<CONF
    location = /notice_upgrade {
      if (\$request_method != POST) { return 403; }
      error_page 405 =200 /notice-answer;
      return 405;
    }
    location = /notice-answer {
      internal;
      default_type application/json;
      alias $(realpath -m "$file");
    }
CONF
  "$OMBRIX_SRC/tools/nginx/serve.sh" stop notice >/dev/null 2>&1 || true
  for _ in $(seq 100); do port_in_use "$ombrix_notice_port" || break; sleep 0.1; done
  "$OMBRIX_SRC/tools/nginx/serve.sh" start notice "$OMBRIX_NGINX_DIR/empty" \
    "$ombrix_notice_port" "$conf" >/dev/null 2>&1 </dev/null
}

# True while something accepts connections on 127.0.0.1:PORT.
port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# The "version" member of every notice request so far, one a line, in order.
notice_versions() {
  sed -n 's/.*"version":"\([^"]*\)".*/\1/p' "$OMBRIX_NGINX_DIR/notice/bodies.log" 2>/dev/null || true
}

# How many notice requests reached the service.
notice_posts() {
  grep -c '"POST /notice_upgrade[? ]' "$OMBRIX_NGINX_DIR/notice/access.log" 2>/dev/null || true
}

# Starts the CDN on a free port serving ROOT, each connection limited to RATE (nginx's
# limit_rate, for example 4m; 0 for none). Prints the port. With --tls it speaks TLS, with the
# certificate for "localhost" of the build tree's test authority (trusted in its wine prefix).
cdn_start() {
  local tls=()
  [ "${1:-}" = --tls ] && shift && tls=(--tls "$(dirname "$OMBRIX_BIN")/tls")
  local root="$1" rate="${2:-0}" conf="$OMBRIX_NGINX_DIR/cdn.conf" port
  mkdir -p "$OMBRIX_NGINX_DIR"
  echo "    limit_rate $rate;" >"$conf"
  # A port nobody listens on, from a range of its own (below the system's ephemeral ports).
  port=$((20000 + RANDOM % 10000))
  while port_in_use "$port"; do port=$((20000 + RANDOM % 10000)); done
  "$OMBRIX_SRC/tools/nginx/serve.sh" start "${tls[@]}" cdn "$root" "$port" "$conf" </dev/null
}

servers_stop() {
  "$OMBRIX_SRC/tools/nginx/serve.sh" stop notice >/dev/null 2>&1 || true
  "$OMBRIX_SRC/tools/nginx/serve.sh" stop cdn >/dev/null 2>&1 || true
}

# Stops both and forgets their logs.
servers_reset() {
  servers_stop
  rm -rf "$OMBRIX_NGINX_DIR/notice" "$OMBRIX_NGINX_DIR/cdn"
}

# ---- the launcher under launcher_watch ------------------------------------------------------

# Starts LAUNCHER (a Windows path) with ARGUMENTS under launcher_watch, which writes its
# events to WATCH_DIR/events.txt; sets WATCH_PID. Options for the watcher come first.
#   watch_start WATCH_DIR [--game-window] [--limit-s N] [--follow NAME] LAUNCHER [ARGUMENTS...]
watch_start() {
  WATCH_DIR="$1"; shift
  local options=()
  while [ "${1:-}" != "${1#--}" ]; do
    options+=("$1")
    case "$1" in --limit-s | --follow) shift; options+=("$1") ;; esac
    shift
  done
  rm -rf "$WATCH_DIR" && mkdir -p "$WATCH_DIR"
  : >"$WATCH_DIR/events.txt"
  WATCH_SEEN=0
  "$WINE" "$OMBRIX_BIN/launcher_watch.exe" "${options[@]}" "$(win_path "$WATCH_DIR")" "$@" \
    </dev/null >/dev/null 2>&1 &
  WATCH_PID=$!
}

# Waits (at most LIMIT seconds, default 60) for the next event, after the ones already
# taken, whose kind is KIND (any when empty) and whose fields contain TEXT (any when empty),
# and takes it: the line is then in WATCH_LINE, its kind in WATCH_KIND and its fields from
# the third on in WATCH_FIELDS. Events before it are passed over. Call it outside $(...),
# which would lose what was taken. Returns 1 on the limit, or when the watcher ended without
# such an event.
watch_wait() {
  local kind="$1" text="${2:-}" limit="${3:-60}" deadline found ended
  deadline=$((SECONDS + limit))
  while :; do
    # Looked at before the file is read, so the last reading includes the last events.
    ended=0
    kill -0 "$WATCH_PID" 2>/dev/null || ended=1
    # (Texts go through the environment: awk -v would take their backslashes as escapes.)
    found="$(KIND="$kind" TEXT="$text" awk -F'\t' -v seen="$WATCH_SEEN" '
      NR > seen && (ENVIRON["KIND"] == "" || $2 == ENVIRON["KIND"]) &&
        (ENVIRON["TEXT"] == "" || index(substr($0, length($1 $2) + 3), ENVIRON["TEXT"])) {
        print NR "\t" $0; exit
      }' "$WATCH_DIR/events.txt")"
    if [ -n "$found" ]; then
      WATCH_SEEN="${found%%$'\t'*}"
      WATCH_LINE="${found#*$'\t'}"
      IFS=$'\t' read -r -a WATCH_FIELDS <<<"$WATCH_LINE"
      WATCH_KIND="${WATCH_FIELDS[1]}"
      WATCH_FIELDS=("${WATCH_FIELDS[@]:2}")
      return 0
    fi
    [ "$ended" = 1 ] && return 1
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

# The next event of any kind (at most LIMIT seconds, default 300); 1 when there is none left.
watch_wait_any() {
  watch_wait "" "" "${1:-300}"
}

# All events of one kind so far, one text per line (the fields after the kind).
watch_events() {
  KIND="$1" awk -F'\t' '$2 == ENVIRON["KIND"] { sub(/^[^\t]*\t[^\t]*\t?/, ""); print }' \
    "$WATCH_DIR/events.txt"
}

# Answers question N with 1 (first button) or 7 (second button).
watch_answer() {
  echo "$2" >"$WATCH_DIR/answer-$1.txt.part"
  mv "$WATCH_DIR/answer-$1.txt.part" "$WATCH_DIR/answer-$1.txt"
}

# Lets the watcher close the stand-in's window.
watch_close_game() {
  : >"$WATCH_DIR/close-game.txt"
}

# Saves a screenshot of the area of the latest "window" (or "game") event as FILE.png;
# the whole screen when there was none. Best effort: a failure only prints a note.
screenshot() {
  local file="$1" geometry
  geometry="$(awk -F'\t' '$2 == "window" || $2 == "game" { g = $5 "x" $6 "+" $3 "+" $4 }
    END { print g }' "$WATCH_DIR/events.txt")"
  mkdir -p "$(dirname "$file")"
  # A moment for the window to paint what the event reported.
  sleep 0.3
  if [ -n "$geometry" ]; then
    import -window root -crop "$geometry" +repage "$file" 2>/dev/null ||
      echo "(no screenshot: $file)" >&2
  else
    import -window root "$file" 2>/dev/null || echo "(no screenshot: $file)" >&2
  fi
}
