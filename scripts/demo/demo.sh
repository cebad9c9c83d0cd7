#!/usr/bin/env bash
# The demo: publishes a demo game (about 50 MiB in 80 files, plus the stand-in game
# executable) with the package tool, serves the notice service (127.0.0.1:8001) and the CDN
# with nginx, and runs the installed launcher under launcher_watch, which reports its status
# line and questions. Screenshots go to BUILD/screenshots/.
#   demo.sh BUILD               fresh install, then a second start with one changed file
#   demo.sh BUILD --launcher-update   a newer build of the launcher: started through the
#                    entrance, it updates itself, restarts, and installs and starts the game
# Needs the build tree's wine prefix (tools/wine/prefix.sh BUILD) and its env.sh sourced.
set -euo pipefail
build="$(cd "$1" && pwd)"; mode="${2:-}"
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export OMBRIX_SRC="$src" OMBRIX_BIN="$build/bin" OMBRIX_NGINX_DIR="$build/demo/nginx"
# shellcheck source=lib.sh
source "$src/scripts/demo/lib.sh"

demo="$build/demo"
shots="$build/screenshots"
root_unix="$WINEPREFIX/drive_c/VEMO/Ombrix"
launcher_dir_unix="$WINEPREFIX/drive_c/Ombrix"
launcher_win='C:\Ombrix\OmbrixLauncher.exe'
entrance_win='C:\Ombrix\OmbrixEntrance.exe'
say() { echo "run: $*"; }

stop_all() {
  if [ -n "${WATCH_PID:-}" ] && kill -0 "$WATCH_PID" 2>/dev/null; then
    : >"$WATCH_DIR/stop.txt"
    for _ in $(seq 100); do kill -0 "$WATCH_PID" 2>/dev/null || break; sleep 0.1; done
  fi
  servers_stop
}
trap stop_all EXIT

# ---- the demo game and its publication ----------------------------------------------------

# The game's files, made once per build tree (the generator is deterministic).
game_files "$demo/game-files" 100 | sed 's/^/run:   /'
rm -rf "$demo/game" "$demo/launcher" "$demo/cdn" "$demo/watch"* && mkdir -p "$demo/cdn" "$demo/launcher"
cp -r "$demo/game-files" "$demo/game"
cp "$OMBRIX_BIN/vemo_game.exe" "$demo/game/"
# A large archive (published in chunks as well as whole): the second start changes 4 KiB of it.
mkdir -p "$demo/game/data/archive"
head -c 25165824 /dev/urandom >"$demo/game/data/archive/world.pak"
# The launcher's own files as the CDN lists them.
cp "$OMBRIX_BIN/OmbrixLauncher.exe" "$demo/launcher/"
printf 'channel=100001\r\n' >"$demo/launcher/launcher.ini"

# Publishes the current game and launcher folders as cdn-a/VERSION (cdn-b: the same tree).
publish_version() {
  local out="$demo/cdn/cdn-a/$1"
  say "publishing $1 with OmbrixPack"
  publish "$demo/game" "$demo/launcher" "$out" | sed 's/^/run:   /'
  ln -sfn cdn-a "$demo/cdn/cdn-b"
}

# The notice service answers with the configuration of VERSION and the code list.
announce() {
  notice_start "https://localhost:$cdn_port/cdn-a/$1/config/resources.txt" "cdn-a|cdn-b"
  say "notice service: http://127.0.0.1:8001/notice_upgrade names cdn-a/$1 (code list cdn-a|cdn-b)"
}

# ---- the installation before the first start ----------------------------------------------

# The launcher as its installer leaves it: in C:\Ombrix\ with the entrance that starts it, and
# its manifest beside the (not yet installed) game. No game files.
install_launcher() {
  rm -rf "$root_unix" "$launcher_dir_unix"
  # The logs of earlier demos go too: the ones left at the end are this demo's.
  find "$WINEPREFIX/drive_c/users" -path '*/VEMO_PC/Ombrix/logs' -prune -exec rm -rf {} +
  mkdir -p "$launcher_dir_unix" "$root_unix"
  cp "$OMBRIX_BIN/OmbrixLauncher.exe" "$OMBRIX_BIN/OmbrixEntrance.exe" "$launcher_dir_unix/"
  launcher_manifest_of "$demo/cdn/cdn-a/v1/config/resources.txt" >"$root_unix/launcher_manifest.txt"
}

# ---- one start of the launcher --------------------------------------------------------------

# Runs the launcher once (NAME names the run's screenshots); after a screenshot, answers the
# first two questions with their first button ("确定", or "重试" after a failure) and any
# later one with the second ("退出"); reports what happened. Sets run_ms (start to game or
# restart) and run_record (the stand-in's record). With --entrance instead of arguments the
# player's start is the entrance's, and every launcher it starts is followed.
run_launcher() {
  local name="$1"; shift
  local started_ms code n=0 shot=0 status program="$launcher_win" follow=()
  run_record="$root_unix/game/vemo_game_started.txt"
  if [ "${1:-}" = --entrance ]; then
    shift; program="$entrance_win"; follow=(--follow OmbrixLauncher.exe)
  fi
  rm -f "$root_unix/game/vemo_game_started.txt"
  watch_start "$demo/watch-$name" --game-window --limit-s 300 "${follow[@]}" "$program" "$@"
  say "started $program $*"
  watch_wait started || { say "the launcher did not start"; return 1; }
  started_ms="${WATCH_FIELDS[1]}"
  # Follow the events as they come; a screenshot at the start, mid-download and at the end.
  while watch_wait_any; do
    case "$WATCH_KIND" in
      status)
        status="${WATCH_FIELDS[0]:-}"
        [ -n "$status" ] || continue
        say "  status: $status"
        if [ "$shot" = 0 ]; then shot=1; screenshot "$shots/$name-1-start.png"; fi
        # The first line with a speed, the remaining time and the sizes.
        case "$shot:$status" in
          1:资源更新中*秒\(*) shot=2; screenshot "$shots/$name-2-download.png" ;;
        esac ;;
      question)
        n="${WATCH_FIELDS[0]}"
        say "  question: ${WATCH_FIELDS[1]} [${WATCH_FIELDS[2]}${WATCH_FIELDS[3]:+|${WATCH_FIELDS[3]}}]"
        screenshot "$shots/$name-question-$n.png"
        if [ "$n" -le 2 ] || [ -z "${WATCH_FIELDS[3]:-}" ]; then
          say "  answering: ${WATCH_FIELDS[2]}"
          watch_answer "$n" 1
        else
          say "  answering: ${WATCH_FIELDS[3]}"
          watch_answer "$n" 7
        fi ;;
      exit)
        code="${WATCH_FIELDS[0]}"
        say "  the launcher ended with exit code $code"
        # Without a started game there is no window to wait for (a launcher that restarted
        # through the entrance is followed by the next one).
        [ "${#follow[@]}" = 0 ] || continue
        for _ in $(seq 150); do [ -f "$run_record" ] && break; sleep 0.1; done
        [ -f "$run_record" ] || : >"$WATCH_DIR/stop.txt" ;;
      launcher)
        say "  launcher process ${WATCH_FIELDS[0]} started (C:\\Ombrix\\OmbrixLauncher.exe)" ;;
      game)
        screenshot "$shots/$name-3-end.png"
        watch_close_game ;;
      limit | stopped) say "  the launcher was ended by the watcher ($WATCH_KIND)" ;;
    esac
  done
  if [ -f "$run_record" ]; then
    run_ms=$(( $(stat -c %.3Y "$run_record" | tr -d .) - started_ms ))
  else
    run_ms=""
  fi
  [ "${code:-1}" = 0 ]
}

# ---- what a run left behind -------------------------------------------------------------------

downloaded_bytes() {
  awk '$7 ~ /qz_game\.qzpkg/ { n += $10 } END { print n + 0 }' "$OMBRIX_NGINX_DIR/cdn/access.log"
}
seconds() { awk -v ms="$1" 'BEGIN { printf "%.2f s", ms / 1000 }'; }

# Prints what the run installed, fetched and started; sets run_files, run_bytes and
# run_downloaded for the figures.
report_run() {
  local before="$1" files bytes
  files="$(grep -c . "$root_unix/version.txt" 2>/dev/null || echo 0)"
  bytes="$({ find "$root_unix/game" -type f ! -name vemo_game_started.txt -printf '%s\n' 2>/dev/null || true; } |
    awk '{ n += $1 } END { print n + 0 }')"
  run_files="$files" run_bytes="$bytes" run_downloaded=$(( $(downloaded_bytes) - before ))
  say "  installed: $files files, $bytes bytes under C:\\VEMO\\Ombrix\\game\\ (as version.txt lists them)"
  say "  downloaded: $run_downloaded bytes of packages"
  # The launcher records the signed configuration it accepted (its built-in publisher key).
  if [ -f "$root_unix/release_serial.txt" ]; then
    say "  signed configuration accepted (signature valid with the launcher's publisher key): $(tr -d '\r' <"$root_unix/release_serial.txt" | tr '\n' ' ')"
  else
    say "  no signed configuration accepted"
  fi
  report_record started "that start" || true
}

# Prints what the stand-in recorded of its start (VERB: its command line, and where it ran)
# and the wall time up to WHAT; false when nothing was started.
report_record() {
  local verb="$1" what="$2"
  if [ ! -f "$run_record" ]; then
    say "  nothing was $verb"
    return 1
  fi
  say "  $verb: $(sed -n 1p "$run_record" | tr -d '\r')"
  say "  in: $(sed -n 2p "$run_record" | tr -d '\r')"
  [ -z "$run_ms" ] || say "  wall time from the launcher's start to $what: $(seconds "$run_ms")"
}

# The FileVersion of an executable's VERSIONINFO.
version_of() {
  x86_64-w64-mingw32-strings -el "$1" | grep -A1 -x FileVersion | sed -n 2p
}

# What the update through the entrance did: the versions that asked the notice service, the
# time from state 18 to the new launcher's window, what is installed, and the game's start.
report_launcher_update() {
  local events="$WATCH_DIR/events.txt" times ok=0
  say "  notice requests, the launcher version each one names: $(notice_versions | tr '\n' ' ')"
  # State 18 shows its status line; the second launcher's first window event is the new window.
  times="$(awk -F'\t' '$2 == "status" && index($3, "正在重启Launcher") && !t18 { t18 = $1 }
    $2 == "answered" && t18 && !ta { ta = $1 }
    $2 == "launcher" && t18 { started = 1 }
    $2 == "window" && started && !tw { tw = $1 }
    END { if (tw) printf "%.2f %.2f", (tw - t18) / 1000, (tw - ta) / 1000 }' "$events")"
  if [ -n "$times" ]; then
    say "  from state 18 to the new launcher's window: ${times% *} s (${times#* } s after the answer to the question)"
  fi
  say "  installed launcher: C:\\Ombrix\\OmbrixLauncher.exe $(version_of "$launcher_dir_unix/OmbrixLauncher.exe"), launcher.ini $(tr -d '\r' <"$launcher_dir_unix/launcher.ini" 2>/dev/null | tr '\n' ' ')"
  cmp -s "$launcher_dir_unix/OmbrixLauncher.exe" "$demo/launcher/OmbrixLauncher.exe" && ok=1
  [ -e "$root_unix/launcher.tmp" ] && say "  the bundle C:\\VEMO\\Ombrix\\launcher.tmp is still there" && ok=0
  report_record started "the game's start" || ok=0
  [ "$ok" = 1 ]
}

# ---- the demo ---------------------------------------------------------------------------------

mkdir -p "$shots"
rm -f "$shots"/demo-*.png
servers_reset
publish_version v1
# Each connection at 3 MiB/s: with three workers the download takes a few seconds to watch.
cdn_port="$(cdn_start --tls "$demo/cdn" 3m)"
say "CDN: https://localhost:$cdn_port/ (cdn-a and cdn-b), 3 MiB/s per connection, TLS with the build tree's test authority"
install_launcher

if [ "$mode" = --launcher-update ]; then
  cp "$OMBRIX_BIN/OmbrixLauncherNext.exe" "$demo/launcher/OmbrixLauncher.exe"
  printf 'channel=100001\r\nskin=winter\r\n' >"$demo/launcher/launcher.ini"
  publish_version v2
  announce v2
  say "launcher update: the launcher $(version_of "$launcher_dir_unix/OmbrixLauncher.exe") is installed, $(version_of "$demo/launcher/OmbrixLauncher.exe") and a changed launcher.ini are on the CDN"
  run_launcher demo-launcher-update --entrance || failed=1
  report_launcher_update || failed=1
else
  announce v1
  say "first start: nothing of the game installed yet"
  run_launcher demo-fresh || failed=1
  report_run 0
  first="$run_files files, $run_bytes bytes installed, $run_downloaded bytes downloaded, ${run_ms:+$(seconds "$run_ms")}"
  first_serial="$(sed -n 's/^serial=//p' "$root_unix/release_serial.txt" 2>/dev/null | tr -d '\r')"

  echo "more missions" >>"$demo/game/data/text/missions.txt"
  archive="$demo/game/data/archive/world.pak"
  head -c 4096 /dev/urandom | dd of="$archive" bs=4096 seek=1500 conv=notrunc status=none
  # Release v2 goes into v1's tree (only the changed file is packed again); the package tool
  # writes the notice answer that switches the players to it.
  say "publishing v2 as a new release of the same tree with OmbrixPack"
  publish_release "$demo/game" "$demo/launcher" "$demo/cdn/cdn-a/v1" v2 | sed 's/^/run:   /'
  switch_release "$demo/cdn/cdn-a/v1" v2 "$demo/notice.json" --code-list "cdn-a|cdn-b" \
    --url "https://localhost:$cdn_port/cdn-a/v1/" | sed 's/^/run:   /'
  notice_serve "$demo/notice.json"
  say "notice service: answers with $demo/notice.json: $(cat "$demo/notice.json")"
  before="$(downloaded_bytes)"
  say "second start: data/text/missions.txt changed on the CDN, and 4 KiB in the middle of data/archive/world.pak ($(stat -c %s "$archive") bytes)"
  run_launcher demo-incremental || failed=1
  report_run "$before"
  say "  delta: $run_downloaded bytes of packages fetched (world.pak's changed chunks and missions.txt) for a world.pak of $(stat -c %s "$archive") bytes"
  say "figures (from the launcher's start to the game's start):"
  say "  first start: $first"
  say "  second start: $run_downloaded bytes downloaded (missions.txt and the changed chunks of world.pak), ${run_ms:+$(seconds "$run_ms")}"
  say "  accepted serials: $first_serial at the first start, $(sed -n 's/^serial=//p' "$root_unix/release_serial.txt" | tr -d '\r') at the second"
fi
say "screenshots: $(find "$shots" -maxdepth 1 -name 'demo-*.png' | sort | tr '\n' ' ')"
exit "${failed:-0}"
