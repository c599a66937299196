#!/usr/bin/env bash
# test.sh [ctest arguments...]: installs what is needed (as root), builds everything and runs every
# test under Wine, inside Xvfb when there is no display. Exits non-zero when any test fails.
# Where Wine runs in the project's VM (tools/wine-mode.sh), the tests that start Wine (ctest label
# "wine") run there, in one boot, with the build and source folders shared; the others run here,
# and so do those that start Wine through tools/wine-run, which boots the VM itself (label "host").
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
build="$root/build"
source "$root/tools/wine-mode.sh"
if [ -z "${MEMOTACK_TEST_BUILT:-}" ]; then
    bash "$root/tools/build.sh" "$build"
fi
# As root, the set-up step of the build has said how Wine runs.
memotack_wine_mode "$([ "$(id -u)" -eq 0 ] && echo quiet)"

run_ctest() {
    local status=0
    ctest --test-dir "$build" --output-on-failure -j2 "$@" || status=$?
    # The persistent server of the shared test prefix ends with the run.
    WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    # ctest names a skipped test without its reason.
    grep -h '^skipped in the Wine VM:' "$build/Testing/Temporary/LastTest.log" 2>/dev/null || true
    return $status
}

if [ "$MEMOTACK_WINE_MODE" = vm ]; then
    status=0
    ctest --test-dir "$build" --output-on-failure -j2 -LE wine "$@" || status=$?
    ctest --test-dir "$build" --output-on-failure -L host "$@" || status=$?
    # The Wine prefixes live on the VM's own disk.
    memotack_run_again --share "$build" --local "$build/wineprefix" --local "$build/e2e" -- \
        bash "$root/tools/test.sh" -L wine -LE host "$@" || status=$?
    exit $status
fi
if [ -z "${DISPLAY:-}" ]; then
    memotack_run_again -- bash "$root/tools/test.sh" "$@"
    exit $?
fi
run_ctest "$@"
