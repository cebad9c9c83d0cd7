#!/usr/bin/env bash
# Creates (once per build tree) the private wine prefix the tests and the demo run in, and
# keeps its wineserver alive for a while. Everything stays below BUILD/wine:
#   prefix      the WINEPREFIX; C: is its drive_c, the only fixed drive
#   home        HOME for wine, so that no link or menu entry reaches the user's own home
#   env.sh      the environment every wine process of this tree gets
# Wine's Z: (the Linux root) is marked a network drive, so the launcher never chooses it.
#   prefix.sh BUILD
set -euo pipefail
build="$(cd "$1" && pwd)"
# The Xvfb, the wineserver and the session started here outlive the caller: they must not
# inherit its descriptors, or a lock the caller holds (the notice port's, taken with flock)
# stays held for as long as they run. (255 is the one bash reads this script through.)
for fd in /proc/$$/fd/*; do
  fd="${fd##*/}"
  if [ "$fd" -gt 2 ] && [ "$fd" != 255 ]; then eval "exec $fd>&-"; fi
done
root="$build/wine"
mkdir -p "$root/home"

if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine="$(command -v wine64 || command -v wine)"; fi
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

cat > "$root/env.sh.$$" <<ENV
export WINEPREFIX="$root/prefix"
export WINEARCH=win64
export WINEDEBUG="\${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export HOME="$root/home"
export XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share" XDG_CACHE_HOME="$root/home/.cache"
export XDG_DESKTOP_DIR="$root/home/Desktop"
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
export WINE="$wine" WINESERVER="$wineserver"
if [ -z "\${DISPLAY:-}" ] && [ -f "$root/display" ]; then export DISPLAY="\$(cat "$root/display")"; fi
ENV
mv "$root/env.sh.$$" "$root/env.sh"  # a name of its own: tests start this script in parallel
# shellcheck disable=SC1091
source "$root/env.sh"

# A display for programs that open windows: the caller's, or an Xvfb of this tree's own.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  exec 8>"$root/display.lock"; flock 8
  n=""
  [ -f "$root/display" ] && n="$(cut -c2- "$root/display")"
  if [ -z "$n" ] || ! DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
    for n in $(seq 90 140); do [ -e "/tmp/.X$n-lock" ] || break; done
    setsid Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 < /dev/null &
    for _ in $(seq 50); do DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    echo ":$n" > "$root/display"
  fi
  export DISPLAY=":$n"
  flock -u 8
fi

exec 9>"$root/prefix.lock"
flock 9
if [ ! -f "$root/prefix/.ombrix-ready" ]; then
  echo "wine: creating the test prefix in $root/prefix (once per build tree)" >&2
  rm -rf "$root/prefix"
  "$wine" wineboot -i >/dev/null 2>&1 || true
  "$wineserver" -w
  # Z: (the Linux root) as a network drive; CJK fonts for the faces the launcher asks for.
  printf '\xff\xfe' > "$root/setup.reg"
  iconv -f UTF-8 -t UTF-16LE >> "$root/setup.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"z:"="network"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"宋体"="WenQuanYi Zen Hei"
"微软雅黑"="WenQuanYi Zen Hei"
"SimSun"="WenQuanYi Zen Hei"
"Microsoft YaHei"="WenQuanYi Zen Hei"

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"winemenubuilder.exe"=""
REG
  "$wine" regedit /S "$(echo "$root/setup.reg" | sed 's|/|\\|g; s|^|Z:|')" >/dev/null 2>&1
  "$wineserver" -w
  touch "$root/prefix/.ombrix-ready"
fi
# Windows are not handed to a window manager: under a bare Xvfb wine would otherwise wait up to
# two seconds for every window it hides or destroys. (Also applied to older prefixes.)
if [ ! -f "$root/prefix/.ombrix-unmanaged" ]; then
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
    touch "$root/prefix/.ombrix-unmanaged"
fi
# The tree's test certificate authority (tools/nginx/test-ca.sh), trusted for this prefix's
# user only: the servers of the tests and the demo speak TLS with certificates it issued.
bash "$(dirname "${BASH_SOURCE[0]}")/../nginx/test-ca.sh" "$build"
if [ "$(cat "$root/prefix/.ombrix-test-ca" 2>/dev/null)" != "$(cat "$build/tls/ca.sha1")" ]; then
  "$wine" reg import "$(echo "$build/tls/ca.reg" | sed 's|/|\\|g; s|^|Z:|')" >/dev/null 2>&1 &&
    cp "$build/tls/ca.sha1" "$root/prefix/.ombrix-test-ca"
fi
# Keep the server up between the many short test programs of one run.
"$wineserver" -p60 >/dev/null 2>&1 || true
# Boot the session (services.exe and friends) here, without our output: booted by a test, they
# would inherit CTest's output pipe and hold it open until the server ends, a minute later.
"$wine" wineboot >/dev/null 2>&1 </dev/null || true
flock -u 9
