# The end-to-end scenarios, one function each; run by run-scenario.sh with harness.sh.
# shellcheck shell=bash

# A fresh installation ends with the game started and the launcher gone; a second start
# finds everything current and fetches nothing. The log tells both starts and holds no login
# data, neither the game's nor one handed to the launcher.
scenario_fresh_install() {
  make_game_source
  publish_game
  serve 1m  # slow enough for a look at the download
  watch_start "$work/watch" "$launcher_win" LOGIN_DATA=c2VjcmV0LWxvZ2lu
  expect_event status
  screenshot "$shots/fresh_install-1-start.png"
  expect_event status "秒("  # a status line with speed, remaining time and sizes
  screenshot "$shots/fresh_install-2-download.png"
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(watch_events question)" "" "questions"
  expect_installed
  expect_game_started "$launcher_win"
  expect_eq "$(notice_posts)" 1 "notice requests"

  local packages
  packages="$(cdn_requests package)"
  rm -f "$game_record"
  watch_start "$work/watch-again" "$launcher_win"
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the second start"
  expect_game_started "$launcher_win"
  expect_eq "$(cdn_requests package)" "$packages" "package requests of the second start"
  expect_eq "$(cdn_requests config)" 2 "configuration requests"

  local logs
  logs="$(find "$WINEPREFIX/drive_c/users" -path '*/VEMO_PC/Ombrix/logs' -type d)"
  expect_eq "$(cat "$logs"/*.log | grep -c ' game_start ')" 2 "game starts in the log"
  expect_eq "$(cat "$logs"/*.log | grep -c ' state state=19 ')" 2 "finished updates in the log"
  ! grep -rqiF -e "$login_data" -e c2VjcmV0LWxvZ2lu -e auth_key -e LOGIN_DATA "$logs" ||
    fail "login data in the log: $(grep -rhiF -e LOGIN_DATA -e auth_key "$logs" | head -2)"
}

# A damaged installation and VERIFY=TRUE: the status line shows the check of every file with
# its percentage; a file changed in place (same size, same write time) and a deleted one are
# fetched again, a file of the player's stays, and the game starts.
scenario_verify_repair() {
  make_game_source
  # Large enough (few bytes to download: zeros) that the check stays a moment on screen.
  head -c "${VERIFY_BIG_MIB:-512}M" /dev/zero >"$work/game/big.pak"
  publish_game
  serve
  watch_start "$work/watch" "$launcher_win"
  expect_event exit
  expect_game_started "$launcher_win"
  rm -f "$game_record"
  local changed deleted packages
  changed="$(cd "$work/game" && find . -type f -name '*.*' ! -name big.pak ! -name vemo_game.exe |
    sort | head -1)"
  deleted="$(cd "$work/game" && find . -type f ! -name big.pak ! -name vemo_game.exe | sort | tail -1)"
  python3 - "$root_unix/game/$changed" <<'PY'
import os, sys
path = sys.argv[1]
st = os.stat(path)
with open(path, "r+b") as f:
    f.seek(st.st_size // 2)
    b = f.read(1)
    f.seek(st.st_size // 2)
    f.write(bytes([b[0] ^ 0xFF]))
os.utime(path, ns=(st.st_atime_ns, st.st_mtime_ns))
PY
  rm "$root_unix/game/$deleted"
  echo mine >"$root_unix/game/settings.cfg"
  packages="$(cdn_requests package)"

  watch_start "$work/watch-verify" "$launcher_win" VERIFY=TRUE
  expect_event status "正在校验游戏文件..."
  screenshot "$shots/verify_repair-1-check.png"
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(watch_events question)" "" "questions"
  expect_game_started "$launcher_win"
  [ "$(cat "$root_unix/game/settings.cfg")" = mine ] || fail "a file of the player's was changed"
  rm "$root_unix/game/settings.cfg"
  expect_installed
  # The two files came in one or two range requests (adjacent ranges are fetched together).
  local fetched=$(($(cdn_requests package) - packages))
  [ "$fetched" -ge 1 ] && [ "$fetched" -le 2 ] || fail "package requests of the check: $fetched"
}

# The game runs: the restarted launcher waits for it to end, then asks the notice service
# exactly once.
scenario_game_running() {
  make_game_source
  publish_game
  serve
  mkdir -p "$root_unix/game"
  cp "$OMBRIX_BIN/vemo_game.exe" "$root_unix/game/"
  VEMO_GAME_EXIT=0 "$WINE" 'C:\VEMO\Ombrix\game\vemo_game.exe' >/dev/null 2>&1 </dev/null &
  GAME_PID=$!
  for _ in $(seq 300); do [ -f "$game_record" ] && break; sleep 0.1; done
  [ -f "$game_record" ] || fail "the stand-in game did not start"
  rm -f "$game_record"

  # Only the launcher's own restart opens its window while the game runs.
  watch_start "$work/watch" "$launcher_win" LAUNCHER_REBOOT=TRUE
  expect_event status "等待游戏结束..."
  expect_eq "$(notice_posts)" 0 "notice requests while the game runs"
  screenshot "$shots/game_running-1-waiting.png"
  expect_eq "$(watch_events status | grep -cvE '^(等待游戏结束\.\.\.|游戏初始化中\.\.\.|)$')" 0 \
    "other status texts while the game runs"
  expect_eq "$(notice_posts)" 0 "notice requests while the game runs"
  kill "$GAME_PID"
  wait "$GAME_PID" 2>/dev/null || true
  GAME_PID=""

  expect_event status "获取游戏更新地址..."
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_game_started "$launcher_win"
  expect_eq "$(notice_posts)" 1 "notice requests"
}

# The notice service is down: the player is asked to retry; the retry asks again, and quitting
# ends the launcher.
scenario_notice_down() {
  make_game_source
  publish_game
  cdn_start "$work/cdn" >/dev/null
  watch_start "$work/watch" "$short_pauses_win"
  expect_question "无法完成游戏资源更新，请求失败!" "重试" "退出"
  screenshot "$shots/notice_down-1-question.png"
  expect_eq "$(watch_events status | tail -1)" "无法完成游戏资源更新，请求失败!" "status line"
  watch_answer "$question" 1
  expect_event status "获取游戏更新地址..."
  expect_question "无法完成游戏资源更新，请求失败!" "重试" "退出"
  watch_answer "$question" 7
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(cdn_requests config)" 0 "configuration requests"
  [ ! -e "$root_unix/version.txt" ] || fail "version.txt written"
}

# The CDN named by the notice answer fails; the retry takes the next name of the code list.
scenario_code_list_retry() {
  make_game_source
  publish_game
  # Only cdn-b holds the tree.
  mv "$work/cdn/cdn-a" "$work/cdn/published"
  ln -sfn published "$work/cdn/cdn-b"
  serve
  watch_start "$work/watch" "$short_pauses_win"
  expect_question "比对服务器资源失败!" "重试" "退出"
  watch_answer "$question" 1
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(notice_posts)" 2 "notice requests"
  expect_eq "$(grep -o 'GET /cdn-[ab]/v1/config/resources.txt' "$OMBRIX_NGINX_DIR/cdn/access.log" |
    sort -u | tr '\n' ' ')" "GET /cdn-a/v1/config/resources.txt GET /cdn-b/v1/config/resources.txt " \
    "configuration addresses"
  expect_installed
  expect_game_started "$short_pauses_win"
}

# A changed launcher file: the launcher fetches it, says so, and starts the program that
# started it again with LAUNCHER_REBOOT=TRUE.
scenario_launcher_update() {
  make_game_source
  mkdir -p "$work/launcher"
  cp "$OMBRIX_BIN/OmbrixLauncher.exe" "$work/launcher/"
  echo "channel=100001" >"$work/launcher/launcher.ini"
  publish_game "$work/launcher"
  # The installed launcher knows an older launcher.ini.
  mkdir -p "$root_unix"
  launcher_manifest_of "$config_path" | sed 's/^launcher\.ini=.*/launcher.ini=0123456789ABCDEF\r/' \
    >"$root_unix/launcher_manifest.txt"
  serve
  watch_start "$work/watch" "$launcher_win" "ENTRANCE=${entrance_win//\\//}"
  expect_event status "加载Launcher资源中,请耐心等待..."
  expect_question "Launcher更新完成,准备重启Launcher!" "确定" ""
  expect_eq "$(watch_events status | tail -1)" "Launcher更新完成,正在重启Launcher..." "status line"
  screenshot "$shots/launcher_update-1-question.png"
  watch_answer "$question" 1
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  wait_for_file "$entrance_record" || fail "the program named by ENTRANCE was not started"
  expect_eq "$(record_line "$entrance_record" 1)" "$entrance_win LAUNCHER_REBOOT=TRUE" \
    "command line of the restart"
  expect_eq "$(record_line "$entrance_record" 2)" 'C:\Ombrix' "working directory of the restart"
  [ -s "$root_unix/launcher.tmp" ] || fail "no launcher bundle"
  [ ! -e "$game_record" ] || fail "the game was started"
  [ ! -e "$root_unix/version.txt" ] || fail "resources were installed before the restart"
}

# The drive has less free space than the update needs: the question names the shortfall;
# measuring again asks again, quitting ends the launcher.
scenario_disk_space() {
  # No test machine has a small enough drive: the configuration asks for more than any has.
  local free_user free_all per_file=2147483647 files i
  read -r free_user free_all < <(stat -f -c '%a %f %S' "$WINEPREFIX/drive_c" |
    awk '{ printf "%.0f %.0f\n", $1 * $3, $2 * $3 }')
  files=$((free_all / per_file + 3))
  mkdir -p "$work/cdn/cdn-a/v1/config"
  for ((i = 0; i < files; i++)); do
    printf 'data/huge_%04d.bin=%032d=pkg/0000=0=%d=game=%064d\r\n' "$i" "$i" "$per_file" "$i"
  done >"$work/cdn/cdn-a/v1/config/resources.txt"
  # The launcher carries the build's publisher key: the configuration is signed with it.
  sign_config "$work/cdn/cdn-a/v1/config/resources.txt" v1 1
  serve
  watch_start "$work/watch" "$launcher_win"
  watch_wait question || fail "no disk question"
  question="${WATCH_FIELDS[0]}"
  screenshot "$shots/disk_space-1-question.png"
  local text="${WATCH_FIELDS[1]}" shortfall_g
  [[ "$text" =~ ^C:\\磁盘空间不足，无法完成此次更新，请确保释放出([0-9]+\.[0-9]{2})G空间后继续$ ]] ||
    fail "disk question: $text"
  expect_eq "${WATCH_FIELDS[2]}|${WATCH_FIELDS[3]:-}" "确定|取消" "buttons of the disk question"
  shortfall_g="${BASH_REMATCH[1]%.*}"
  # Free space moves a little while the test runs, and the text rounds to two decimals: compare
  # whole gibibytes, one either way. The launcher asks for all free bytes of the drive; wine
  # answers with those the user may take, which may be fewer: either is right here.
  local short_all=$(( (files * per_file - free_all) / 1073741824 ))
  local short_user=$(( (files * per_file - free_user) / 1073741824 ))
  near() { local d=$(( $1 - $2 )); [ "${d#-}" -le 1 ]; }
  near "$shortfall_g" "$short_all" || near "$shortfall_g" "$short_user" ||
    fail "missing gibibytes: $shortfall_g, expected $short_all (or $short_user), one either way"
  watch_answer "$question" 1
  watch_wait question || fail "no second disk question after measuring again"
  [[ "${WATCH_FIELDS[1]}" =~ 磁盘空间不足 ]] || fail "second question: ${WATCH_FIELDS[1]}"
  watch_answer "${WATCH_FIELDS[0]}" 7
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(cdn_requests package)" 0 "package requests"
}

# A package cannot be downloaded: retry, then quit, then delete the local resource list.
scenario_download_error() {
  make_game_source
  publish_game
  # An older installation: its list names every file with another digest.
  mkdir -p "$root_unix"
  tr -d '\r' <"$config_path" | awk -F= '/^ *$/ { exit } { printf "%s=old%s\r\n", $1, $2 }' >"$root_unix/version.txt"
  rm -rf "$work/cdn/cdn-a/v1/pkg"
  serve
  watch_start "$work/watch" "$short_pauses_win"
  watch_wait question || fail "no download question"
  question="${WATCH_FIELDS[0]}"
  [[ "${WATCH_FIELDS[1]}" =~ ^加载服务器资源失败_Code:-?[0-9]+$ ]] || fail "question: ${WATCH_FIELDS[1]}"
  expect_eq "${WATCH_FIELDS[2]}|${WATCH_FIELDS[3]:-}" "重试|退出" "buttons of the download question"
  screenshot "$shots/download_error-1-question.png"
  watch_answer "$question" 1
  watch_wait question || fail "no question after the retry"
  [[ "${WATCH_FIELDS[1]}" =~ ^加载服务器资源失败_Code: ]] || fail "question after the retry: ${WATCH_FIELDS[1]}"
  watch_answer "${WATCH_FIELDS[0]}" 7
  expect_question "删除本地缓存资源后重试" "确定" "退出"
  [ -f "$root_unix/version.txt" ] || fail "version.txt gone before the answer"
  watch_answer "$question" 1
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(notice_posts)" 2 "notice requests"
  [ ! -e "$root_unix/version.txt" ] || fail "version.txt was not deleted"
  [ ! -e "$game_record" ] || fail "the game was started"
}

# The CDN goes silent in the middle of the package download: every attempt ends after the
# (shortened) receive time-out, the player is asked to retry; the CDN recovers, and the retry
# installs the game.
scenario_cdn_silent() {
  make_game_source
  publish_game
  : >"$work/silent"
  python3 "$src/tests/e2e/silent_cdn.py" "$work/cdn" "$work/cdn.port" "$work/silent" \
    >"$work/cdn-requests.log" 2>&1 </dev/null &
  SILENT_CDN_PID=$!
  for _ in $(seq 100); do [ -s "$work/cdn.port" ] && break; sleep 0.1; done
  [ -s "$work/cdn.port" ] || fail "no CDN stand-in"
  notice_start "http://127.0.0.1:$(cat "$work/cdn.port")/cdn-a/v1/config/resources.txt" \
    "cdn-a|cdn-b" || fail "no notice service"
  watch_start "$work/watch" "$short_pauses_win"
  watch_wait question || fail "no question while the CDN is silent"
  question="${WATCH_FIELDS[0]}"
  [[ "${WATCH_FIELDS[1]}" =~ ^加载服务器资源失败_Code:-?[0-9]+$ ]] || fail "question: ${WATCH_FIELDS[1]}"
  expect_eq "${WATCH_FIELDS[2]}|${WATCH_FIELDS[3]:-}" "重试|退出" "buttons of the question"
  screenshot "$shots/cdn_silent-1-question.png"
  grep -q 'qzpkg 206 silent' "$work/cdn-requests.log" || fail "no silent package answer"
  # The failed batch recorded what did arrive, and only files that are on disk as recorded.
  if [ -e "$root_unix/version.txt" ]; then
    while IFS='=' read -r name digest; do
      sum="$(md5sum <"$root_unix/game/${name//\\//}" 2>/dev/null | cut -c1-32)"
      [ "$sum" = "$(echo "${digest%$'\r'}" | tr A-F a-f)" ] ||
        fail "version.txt names $name, which is not on disk as recorded"
    done <"$root_unix/version.txt"
  fi
  rm -f "$work/silent"
  watch_answer "$question" 1
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(watch_events question | wc -l)" 1 "questions"
  expect_installed
  expect_game_started "$short_pauses_win"
}

# The launcher updates itself for real: the player starts the entrance; the installed
# launcher fetches the next build of itself, restarts through the entrance, which swaps it in;
# the new launcher finds itself current, installs the game and starts it.
scenario_entrance_update() {
  make_game_source
  mkdir -p "$work/launcher" "$root_unix"
  cp "$OMBRIX_BIN/OmbrixEntrance.exe" "$launcher_dir_unix/"
  cp "$OMBRIX_BIN/OmbrixLauncherNext.exe" "$work/launcher/OmbrixLauncher.exe"
  echo "channel=100001" >"$work/launcher/launcher.ini"
  publish_game "$work/launcher"
  # The installed launcher lists older files than the published ones.
  launcher_manifest_of "$config_path" | sed 's/=.*/=0123456789ABCDEF\r/' >"$root_unix/launcher_manifest.txt"
  serve
  watch_start "$work/watch" --follow OmbrixLauncher.exe "$entrance_win"
  expect_event launcher
  expect_question "Launcher更新完成,准备重启Launcher!" "确定" ""
  watch_answer "$question" 1
  expect_event exit
  expect_event launcher
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the new launcher"
  expect_eq "$(watch_events question | wc -l)" 1 "questions"

  local version next
  version="$(sed -n 's/^project(Ombrix VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
  next="$(awk -F. '{ print $1 "." $2 "." $3 + 1 ".0" }' <<<"$version")"
  expect_eq "$(notice_versions | tr '\n' ' ')" "$version $next " "versions asking the notice service"
  cmp -s "$launcher_dir_unix/OmbrixLauncher.exe" "$OMBRIX_BIN/OmbrixLauncherNext.exe" ||
    fail "the new launcher is not installed"
  expect_eq "$(cat "$launcher_dir_unix/launcher.ini")" "channel=100001" "launcher.ini"
  expect_eq "$(tr -d '\r' <"$root_unix/launcher_manifest.txt")" \
    "$(launcher_manifest_of "$config_path" | tr -d '\r')" "launcher manifest"
  [ ! -e "$root_unix/launcher.tmp" ] || fail "the bundle is still there"
  expect_eq "$(find "$launcher_dir_unix" -name '*.ombrix-*' | wc -l)" 0 "files left by the swap"
  expect_installed
  expect_game_started "$launcher_win"
  # The entrance's log tells both of its starts: the second one installed the bundle.
  expect_eq "$(find "$WINEPREFIX/drive_c/users" -path '*/VEMO_PC/Ombrix/logs/entrance.log' \
    -exec grep -ho ' bundle_install .*outcome=[a-z_]*' {} + | sed 's/.*outcome=//' | tr '\n' ' ')" \
    "no_bundle installed " "bundle outcomes in the entrance's log"
}

# The entrance cannot put the launcher's update in place (a program holds one of its files):
# the launcher started after it says so once, goes on with its old files to the game, and
# does not fetch the same update again.
scenario_entrance_update_fails() {
  make_game_source
  mkdir -p "$work/launcher" "$root_unix" "$work/holder"
  cp "$OMBRIX_BIN/OmbrixEntrance.exe" "$launcher_dir_unix/"
  cp "$OMBRIX_BIN/OmbrixLauncherNext.exe" "$work/launcher/OmbrixLauncher.exe"
  echo "channel=100001" >"$work/launcher/launcher.ini"
  printf 'old\r\n' >"$launcher_dir_unix/launcher.ini"
  publish_game "$work/launcher"
  launcher_manifest_of "$config_path" | sed 's/=.*/=0123456789ABCDEF\r/' >"$root_unix/launcher_manifest.txt"
  cp "$OMBRIX_BIN/vemo_game.exe" "$work/holder/"
  VEMO_GAME_EXIT=0 VEMO_GAME_HOLD='C:\Ombrix\launcher.ini' VEMO_GAME_RECORD="$(win_path "$work/holder/started.txt")" \
    "$WINE" "$(win_path "$work/holder/vemo_game.exe")" >/dev/null 2>&1 </dev/null &
  GAME_PID=$!
  wait_for_file "$work/holder/started.txt" || fail "the program holding launcher.ini did not start"
  serve
  watch_start "$work/watch" --follow OmbrixLauncher.exe "$entrance_win"
  expect_event launcher
  expect_question "Launcher更新完成,准备重启Launcher!" "确定" ""
  watch_answer "$question" 1
  expect_event exit
  expect_event launcher
  expect_question "Launcher更新安装失败,将使用当前版本继续更新游戏。" "确定" ""
  watch_answer "$question" 1
  expect_event exit
  expect_eq "${WATCH_FIELDS[0]}" 0 "exit code of the launcher"
  expect_eq "$(watch_events question | wc -l)" 2 "questions"
  cmp -s "$launcher_dir_unix/OmbrixLauncher.exe" "$OMBRIX_BIN/OmbrixLauncher.exe" ||
    fail "the old launcher is not in place"
  expect_eq "$(tr -d '\r' <"$launcher_dir_unix/launcher.ini")" old "launcher.ini"
  [ ! -e "$root_unix/launcher.tmp" ] || fail "the bundle is still there"
  [ -e "$root_unix/launcher_failed.txt" ] || fail "the update given up is not recorded"
  expect_eq "$(find "$launcher_dir_unix" -name '*.ombrix-*' -o -name '*.journal' | wc -l)" 0 \
    "files left by the swap"
  expect_installed
  expect_game_started "$launcher_win"
}

# Bundles that must not be installed, and a file that cannot be replaced: the launcher in
# place (here the stand-in, which records its start) stays as it was and is started again.
# A bundle that can never be installed is deleted; one that could not be put in place is given
# up (its launcher list recorded) and the launcher is told so instead of being restarted.
scenario_entrance_bad_bundles() {
  # Bundle bytes go straight to the file: a shell variable cannot hold a zero byte.
  le32() {
    # shellcheck disable=SC2059
    printf "$(printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24)))"
  }
  record() { le32 "${#1}"; printf %s "$1"; le32 "${#2}"; printf %s "$2"; }
  files() { record OmbrixLauncher.exe 'MZ new'; record launcher.ini new; }
  manifest() { record launcher_manifest.txt 'OmbrixLauncher.exe=NEW'; }
  local bundle="$root_unix/launcher.tmp" kind flag body code kept got
  cp "$OMBRIX_BIN/OmbrixEntrance.exe" "$launcher_dir_unix/"
  cp "$OMBRIX_BIN/vemo_game.exe" "$launcher_dir_unix/OmbrixLauncher.exe"
  printf 'old\r\n' >"$launcher_dir_unix/launcher.ini"
  mkdir -p "$root_unix" "$work/holder"
  printf 'OmbrixLauncher.exe=OLD\r\n' >"$root_unix/launcher_manifest.txt"
  # A running program holds launcher.ini open for reading only.
  cp "$OMBRIX_BIN/vemo_game.exe" "$work/holder/"
  VEMO_GAME_EXIT=0 VEMO_GAME_HOLD='C:\Ombrix\launcher.ini' VEMO_GAME_RECORD="$(win_path "$work/holder/started.txt")" \
    "$WINE" "$(win_path "$work/holder/vemo_game.exe")" >/dev/null 2>&1 </dev/null &
  GAME_PID=$!
  wait_for_file "$work/holder/started.txt" || fail "the program holding launcher.ini did not start"
  # kind, flag byte, records after it, exit code of the entrance, launcher token, record kept
  while IFS='|' read -r kind flag body code token recorded; do
    # shellcheck disable=SC2059
    { printf "\\x$flag"; eval "$body"; } >"$bundle"
    rm -f "$entrance_record"
    "$WINE" "$entrance_win" LAUNCHER_REBOOT=TRUE >/dev/null 2>&1 </dev/null && got=0 || got=$?
    expect_eq "$got" "$code" "$kind: exit code of the entrance"
    wait_for_file "$entrance_record" || fail "$kind: the launcher was not started"
    expect_eq "$(record_line "$entrance_record" 1)" \
      "$launcher_win ENTRANCE=${entrance_win//\\//} $token" "$kind: launcher command line"
    expect_eq "$(record_line "$entrance_record" 2)" 'C:\Ombrix' "$kind: launcher working directory"
    cmp -s "$launcher_dir_unix/OmbrixLauncher.exe" "$OMBRIX_BIN/vemo_game.exe" || fail "$kind: launcher replaced"
    expect_eq "$(tr -d '\r' <"$launcher_dir_unix/launcher.ini")" old "$kind: launcher.ini"
    expect_eq "$(tr -d '\r' <"$root_unix/launcher_manifest.txt")" OmbrixLauncher.exe=OLD "$kind: manifest"
    [ ! -e "$bundle" ] || fail "$kind: the bundle is still there"
    expect_eq "$([ -e "$root_unix/launcher_failed.txt" ] && echo recorded || echo none)" "$recorded" \
      "$kind: release given up"
    expect_eq "$(find "$launcher_dir_unix" -name '*.ombrix-*' -o -name '*.journal' | wc -l)" 0 \
      "$kind: files left by the swap"
  done <<'CASES'
unfinished|00|files; manifest|2|LAUNCHER_REBOOT=TRUE|none
record longer than the file|01|files; le32 21; printf launcher_manifest.txt; le32 999; printf x|3|LAUNCHER_REBOOT=TRUE|none
launcher.ini held by a running program|01|files; manifest|4|LAUNCHER_UPDATE=FAILED|recorded
CASES
  # Started again, the entrance has nothing to retry: the launcher starts as the player's.
  rm -f "$entrance_record"
  "$WINE" "$entrance_win" >/dev/null 2>&1 </dev/null && got=0 || got=$?
  expect_eq "$got" 0 "started again: exit code of the entrance"
  wait_for_file "$entrance_record" || fail "started again: the launcher was not started"
  expect_eq "$(record_line "$entrance_record" 1)" "$launcher_win ENTRANCE=${entrance_win//\\//}" \
    "started again: launcher command line"
}
