#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the launcher's start-up under wine in the
# private prefix of build/, then shows what it left behind: the copy of the launcher,
# "game_root.txt" and the desktop shortcut.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/setup.sh
bash scripts/build.sh
tools/wine/prefix.sh build
# shellcheck disable=SC1091
source build/wine/env.sh

echo "run: starting build/bin/OmbrixLauncher.exe under wine"
set +e
build/wine-run build/bin/OmbrixLauncher.exe
code=$?
set -e
echo "run: the launcher ended with exit code $code"

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
exit "$code"
