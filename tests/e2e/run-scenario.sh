#!/usr/bin/env bash
# Runs one end-to-end scenario (a function of scenarios.sh) against the launcher executable:
# its own wine prefix below BUILD/tests/e2e (own wineserver, own Xvfb, own C: drive), nginx on
# 127.0.0.1 for the notice service (port 8001) and the CDN, launcher_watch reading the
# launcher's windows. Screenshots go to BUILD/screenshots/e2e/.
#   run-scenario.sh BUILD SOURCE SCENARIO
set -euo pipefail
build="$(cd "$1" && pwd)"; src="$(cd "$2" && pwd)"; scenario="$3"
e2e="$build/tests/e2e"
work="$e2e/scenarios/$scenario"
shots="$build/screenshots/e2e"
rm -rf "$work" && mkdir -p "$work" "$shots"

# The prefix gets a display of its own: the caller's screen stays out of the test.
unset DISPLAY
"$src/tools/wine/prefix.sh" "$e2e" >"$work/prefix.log" 2>&1 </dev/null
# shellcheck disable=SC1091
source "$e2e/wine/env.sh"
export OMBRIX_SRC="$src" OMBRIX_BIN="$build/bin" OMBRIX_NGINX_DIR="$e2e/nginx"
# shellcheck source=../../scripts/demo/lib.sh
source "$src/scripts/demo/lib.sh"
# shellcheck source=harness.sh
source "$src/tests/e2e/harness.sh"
# shellcheck source=scenarios.sh
source "$src/tests/e2e/scenarios.sh"

trap finish EXIT
prepare_installation
"scenario_$scenario"
echo "e2e $scenario: passed"
