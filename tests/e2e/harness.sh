# Set-up, checks and clean-up of the end-to-end scenarios; sourced by run-scenario.sh, which
# sets build, src, e2e, work, shots and scenario and sources the prefix and scripts/demo/lib.sh.
# shellcheck shell=bash

root_unix="$WINEPREFIX/drive_c/VEMO/Ombrix"  # the game root the launcher chooses: C:\VEMO\Ombrix\
launcher_dir_unix="$WINEPREFIX/drive_c/Ombrix"
launcher_win='C:\Ombrix\OmbrixLauncher.exe'
short_pauses_win='C:\Ombrix\OmbrixLauncherShortPauses.exe'
entrance_win='C:\Ombrix\OmbrixEntrance.exe'
game_record="$root_unix/game/vemo_game_started.txt"
entrance_record="$launcher_dir_unix/vemo_game_started.txt"
login_data='YXV0aF9rZXk9LHVpZD0sZXh0cmFJbmZvPQ=='  # Base64 of "auth_key=,uid=,extraInfo="
# The stand-ins record their start and end at once.
export VEMO_GAME_EXIT=1
GAME_PID=""
SILENT_CDN_PID=""

fail() {
  echo "e2e $scenario: FAILED: $*" >&2
  exit 1
}

expect_eq() {
  [ "$1" = "$2" ] || fail "$3: expected [$2], got [$1]"
}

# Waits for an event or fails with the reason.
expect_event() {
  watch_wait "$@" || fail "no '$1' event ${2:+with '$2' }(watcher events in $WATCH_DIR/events.txt)"
}

# Expects the next question to be TEXT with the buttons FIRST and SECOND; sets question to
# its number.
expect_question() {
  watch_wait question || fail "no question (expected '$1')"
  question="${WATCH_FIELDS[0]}"
  expect_eq "${WATCH_FIELDS[1]}" "$1" "question $question"
  expect_eq "${WATCH_FIELDS[2]}|${WATCH_FIELDS[3]:-}" "$2|$3" "buttons of question $question"
}

# Waits (at most 30 s) for a file that a process started by the launcher writes: the launcher
# ends right after starting it.
wait_for_file() {
  for _ in $(seq 300); do [ -f "$1" ] && return 0; sleep 0.1; done
  return 1
}

# Line N of a stand-in's record (1: command line, 2: working directory).
record_line() {
  sed -n "${2}p" "$1" | tr -d '\r'
}

# The digest the launcher hands to the game: MD5 over the digests of "version.txt" sorted by
# name, upper-case.
resource_hash_of() {
  tr -d '\r' <"$1" | awk -F= 'NF >= 2 { print $1 "\t" $2 }' | LC_ALL=C sort -s -t$'\t' -k1,1 |
    cut -f2 | tr -d '\n' | md5sum | cut -d' ' -f1 | tr 'a-f' 'A-F'
}

# Every CDN request of the given kind so far ("config" or "package").
cdn_requests() {
  local pattern='/config/resources\.txt'
  [ "$1" = package ] && pattern='/qz_game\.qzpkg'
  grep -c "GET [^ ]*$pattern" "$OMBRIX_NGINX_DIR/cdn/access.log" 2>/dev/null || true
}

finish() {
  local code=$?
  if [ -n "${WATCH_PID:-}" ] && kill -0 "$WATCH_PID" 2>/dev/null; then
    : >"$WATCH_DIR/stop.txt"  # the watcher ends the launcher it started
    for _ in $(seq 100); do kill -0 "$WATCH_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$WATCH_PID" 2>/dev/null || true
  fi
  if [ -n "$GAME_PID" ]; then kill "$GAME_PID" 2>/dev/null || true; fi
  if [ -n "$SILENT_CDN_PID" ]; then kill "$SILENT_CDN_PID" 2>/dev/null || true; fi
  servers_stop
  if [ "$code" != 0 ] && [ -f "${WATCH_DIR:-/nonexistent}/events.txt" ]; then
    echo "--- launcher events ---" >&2
    cat "$WATCH_DIR/events.txt" >&2
  fi
  exit "$code"
}

# No game installed; the launcher (and the short-pause variant) installed in C:\Ombrix\ with
# the stand-in of the program that starts it; no notice service, no CDN.
prepare_installation() {
  servers_reset
  rm -rf "$root_unix" "$launcher_dir_unix"
  find "$WINEPREFIX/drive_c/users" -path '*/VEMO_PC/Ombrix/logs' -prune -exec rm -rf {} +
  mkdir -p "$launcher_dir_unix"
  cp "$OMBRIX_BIN/OmbrixLauncher.exe" "$OMBRIX_BIN/OmbrixLauncherShortPauses.exe" "$launcher_dir_unix/"
  cp "$OMBRIX_BIN/vemo_game.exe" "$launcher_dir_unix/OmbrixEntrance.exe"
}

# The game's files for the tests (about 3 MiB in 80 files, made once per build tree) and the
# stand-in game executable, in $work/game.
make_game_source() {
  game_files "$e2e/game-files" 6 >/dev/null
  rm -rf "$work/game" && cp -r "$e2e/game-files" "$work/game"
  cp "$OMBRIX_BIN/vemo_game.exe" "$work/game/"
}

# Publishes $work/game (and LAUNCHER_DIR when given) as $work/cdn/cdn-a/v1; cdn-b is the same
# tree under a second name. Sets config_path to the published configuration.
publish_game() {
  mkdir -p "$work/cdn"
  publish "$work/game" "${1:-}" "$work/cdn/cdn-a/v1" >"$work/publish.log" || fail "publishing failed"
  ln -sfn cdn-a "$work/cdn/cdn-b"
  config_path="$work/cdn/cdn-a/v1/config/resources.txt"
}

# The CDN (RATE per connection, none by default) and the notice service naming
# cdn-a/v1 with the code list cdn-a|cdn-b.
serve() {
  local port
  port="$(cdn_start "$work/cdn" "${1:-0}")" || fail "no CDN"
  notice_start "http://127.0.0.1:$port/cdn-a/v1/config/resources.txt" "cdn-a|cdn-b" ||
    fail "no notice service"
}

# Expects the game to have been started by the launcher LAUNCHER_WIN (Windows path) with its
# command line, from the game folder, with the installed resource list's hash.
expect_game_started() {
  local launcher="$1" line device hash expected_prefix
  wait_for_file "$game_record" || fail "the game was not started"
  line="$(record_line "$game_record" 1)"
  expected_prefix='C:\VEMO\Ombrix\game\vemo_game.exe ENTRANCE='"${launcher//\\//}"' DEVICE_ID='
  [ "${line#"$expected_prefix"}" != "$line" ] || fail "game command line: $line"
  device="$(sed -E 's/.* DEVICE_ID=([^ ]*) .*/\1/' <<<"$line")"
  hash="$(resource_hash_of "$root_unix/version.txt")"
  [[ "$device" =~ ^([0-9A-F]{32})?$ ]] || fail "device id [$device]"
  expect_eq "$line" "${expected_prefix}$device RESOURCE_HASH=$hash LOGIN_DATA=$login_data" \
    "game command line"
  expect_eq "$(record_line "$game_record" 2)" 'C:\VEMO\Ombrix\game' "game working directory"
}

# Expects every file of $work/game installed under the game folder with the same bytes.
expect_installed() {
  diff -rq -x 'vemo_game_started.txt*' "$work/game" "$root_unix/game" >"$work/diff.txt" 2>&1 ||
    fail "installed files differ: $(head -3 "$work/diff.txt")"
  expect_eq "$(grep -c . "$root_unix/version.txt")" "$(find "$work/game" -type f | wc -l)" \
    "lines of version.txt"
}
