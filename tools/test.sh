#!/usr/bin/env bash
# test.sh [ctest arguments...]: installs what is needed (as root), builds everything and runs every
# test under Wine, inside Xvfb when there is no display. Exits non-zero when any test fails.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
build="$root/build"
if [ -z "${MEMOTACK_TEST_BUILT:-}" ]; then
    bash "$root/tools/build.sh" "$build"
fi

run_ctest() {
    local status=0
    ctest --test-dir "$build" --output-on-failure -j2 "$@" || status=$?
    # The persistent server of the shared test prefix ends with the run.
    WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    return $status
}

if [ -z "${DISPLAY:-}" ]; then
    export MEMOTACK_TEST_BUILT=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
run_ctest "$@"
