#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test under wine (CTest).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/setup.sh
bash scripts/build.sh
# The private prefix is made (or found) before the tests start, so no test pays for it.
tools/wine/prefix.sh build
cd build
ctest --output-on-failure -j2 "$@"
