#!/usr/bin/env bash
# Screenshots of the skinned toolkit for a person to look at, written to BUILD/screenshots/:
# the message box with one button (type 0) and two buttons (type 1) at scales 1 and 1.5, and
# the main artwork as a layered window over a patterned desktop. Runs the preview tool under
# wine on the build tree's own Xvfb display and grabs that display with ImageMagick `import`.
#   bash scripts/screenshots-ui.sh [BUILD]      (default: build)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
cmake --build "$build" --target ui_preview >/dev/null
unset DISPLAY  # the tree's own Xvfb: nothing else draws on it
"$here/tools/wine/prefix.sh" "$build" >/dev/null
# shellcheck disable=SC1091
source "$build/wine/env.sh"
out="$build/screenshots"
mkdir -p "$out"

shot() {  # name, preview arguments...
    local name="$1"; shift
    "$build/wine-run" "$build/bin/ui_preview.exe" "$@" 5000 >/dev/null 2>&1 &
    local pid=$!
    sleep 3
    import -window root -display "$DISPLAY" "$out/$name.png"
    wait "$pid" || true
    echo "$out/$name.png"
}

shot messagebox-type0-scale1 box 0 1
shot messagebox-type1-scale1 box 1 1
shot messagebox-type0-scale1.5 box 0 1.5
shot messagebox-type1-scale1.5 box 1 1.5
shot layered-artwork-scale1 layered 1
