#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the demo under wine in the private prefix of
# build/: a demo game published with the package tool, the notice service and the CDN on nginx
# (127.0.0.1; the CDN over https with the build tree's test authority, trusted in the prefix
# only), and the launcher installing the game and starting it, then starting again with
# one changed file (scripts/demo/demo.sh). With --launcher-update a changed launcher file is
# published instead and the launcher updates itself and restarts. The window is shown on the
# screen when there is a display, else on the build tree's Xvfb; screenshots go to
# build/screenshots/. At the end it shows what start-up left behind: the copy of the launcher,
# "game_root.txt" and the desktop shortcut.
#   run.sh [--launcher-update]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
mode="${1:-}"
case "$mode" in
  "" | --launcher-update) ;;
  *) echo "usage: scripts/run.sh [--launcher-update]" >&2; exit 2 ;;
esac
bash scripts/setup.sh
bash scripts/build.sh
# The caller's screen when it can be reached, else the build tree's Xvfb.
if [ -n "${DISPLAY:-}" ] && ! xdpyinfo >/dev/null 2>&1; then
  echo "run: the display $DISPLAY cannot be reached: using the build tree's Xvfb"
  unset DISPLAY
fi
tools/wine/prefix.sh build
# shellcheck disable=SC1091
source build/wine/env.sh

set +e
bash scripts/demo/demo.sh build ${mode:+"$mode"}
code=$?
set -e

# The prefix's folders as Windows and Linux see them.
win_path() { build/wine-run cmd /c echo "$1" 2>/dev/null | tr -d '\r'; }
unix_path() { "$WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
data_win="$(win_path '%APPDATA%')\\VEMO_PC\\Ombrix"
data_unix="$(unix_path "$data_win")"
desktop_unix="$(unix_path "$(win_path '%USERPROFILE%')\\Desktop")"

echo "run: launcher data directory: $data_win"
if [ -f "$data_unix/Ombrixvemo.exe" ]; then
  if cmp -s build/bin/OmbrixLauncher.exe "$data_unix/Ombrixvemo.exe"; then same="same bytes as the launcher"; else same="differs from the launcher"; fi
  echo "run:   copy Ombrixvemo.exe ($(stat -c %s "$data_unix/Ombrixvemo.exe") bytes, $same)"
  echo "run:     at $data_unix/Ombrixvemo.exe"
else
  echo "run:   no copy Ombrixvemo.exe"
fi
if [ -f "$data_unix/game_root.txt" ]; then
  echo "run:   game_root.txt names the game root $(iconv -f GBK -t UTF-8 "$data_unix/game_root.txt")"
else
  echo "run:   no game_root.txt"
fi
link="$desktop_unix/OmbrixStalbrand手游模拟器.lnk"
if [ -f "$link" ]; then
  echo "run: desktop shortcut: $link"
  target="$(LC_ALL=C grep -a -o '[A-Z]:\\[^[:cntrl:]]*Ombrixvemo\.exe' "$link" | head -1 || true)"
  echo "run:   it points at ${target:-(no path found in the link)}"
else
  echo "run: no desktop shortcut in $desktop_unix"
fi
for log in "$data_unix"/logs/*.log; do
  [ -f "$log" ] || continue
  echo "run: log $data_win\\logs\\${log##*/}: $(wc -l <"$log") lines"
  echo "run:   at $log"
done
[ "$code" = 0 ] || echo "run: the demo did not end as it should (exit code $code)"
exit "$code"
