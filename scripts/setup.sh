#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Idempotent: on a machine that is already set up it only checks and returns.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$here/build/deps"

packages=(
  cmake make ninja-build pkg-config
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  googletest
  wine64 xvfb xdotool x11-utils imagemagick
  fonts-wqy-zenhei fonts-dejavu-core
  nginx-light curl python3 bc openssl   # openssl: the test certificate authority
  dpkg-dev locales
  clang libclang-rt-14-dev libjsoncpp-dev zlib1g-dev   # native fuzz targets (libFuzzer, sanitizers)
)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Debian's source archive: jsoncpp is built for the cross target from its source package.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  echo "setup: adding deb-src for bookworm main"
  sudo_ tee /etc/apt/sources.list.d/ombrix-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "setup: installing ${missing[*]:-(nothing, refreshing lists)}"
  sudo_ apt-get update -qq
  [ ${#missing[@]} -gt 0 ] && DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# nginx-light's package starts a system nginx on port 80; the project runs its own instances only.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet nginx 2>/dev/null; then
  sudo_ systemctl stop nginx || true
fi

# Code page 936 under wine comes from a Chinese locale of the host.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  sudo_ sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | sudo_ tee -a /etc/locale.gen >/dev/null
  sudo_ locale-gen >/dev/null
fi

# jsoncpp for the mingw target, built once from Debian's source package.
if [ ! -f "$deps/jsoncpp/lib/libjsoncpp.a" ]; then
  echo "setup: building jsoncpp for x86_64-w64-mingw32"
  rm -rf "$deps/jsoncpp-src" && mkdir -p "$deps/jsoncpp-src"
  (cd "$deps/jsoncpp-src" && apt-get source -qq --download-only libjsoncpp >/dev/null && dpkg-source -x --no-check ./*.dsc src >/dev/null)
  cmake -S "$deps/jsoncpp-src/src" -B "$deps/jsoncpp-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/jsoncpp" \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF \
    -DJSONCPP_WITH_CMAKE_PACKAGE=OFF -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
    -DJSONCPP_WITH_EXAMPLE=OFF >/dev/null
  cmake --build "$deps/jsoncpp-build" >/dev/null
  cmake --install "$deps/jsoncpp-build" >/dev/null
  rm -rf "$deps/jsoncpp-src" "$deps/jsoncpp-build"
fi
echo "setup: ready"
