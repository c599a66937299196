# Sourced by the end-to-end tests: they run the real memotack_setup.exe under Wine and judge it by
# what it leaves behind. Arguments of every test script: SETUP_EXE BUILD_DIR.
set -euo pipefail
SETUP_EXE="$(readlink -f "$1")"
BUILD_DIR="$(readlink -f "$2")"
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../../tools/wine-env.sh"

# skip_in_winevm REASON...: where Wine runs in the project's VM, under CPU emulation, ends this test
# as skipped (exit 77, its ctest entry's SKIP_RETURN_CODE) and says why; tools/test.sh repeats the
# reason after ctest's summary.
skip_in_winevm() {
    [ -n "${MEMOTACK_IN_WINEVM:-}" ] || return 0
    echo "skipped in the Wine VM: $*"
    exit 77
}

E2E_FAILURES=0
# The prefixes this script made; a passing script removes them (each is over a gigabyte), a failing
# one keeps them to look into. MEMOTACK_KEEP_PREFIXES=1 keeps them always.
E2E_PREFIXES=()

# fresh_prefix NAME [win32|win64]: a new, empty Wine prefix of its own for this test, started.
fresh_prefix() {
    export WINEARCH="${2:-win64}"
    export WINEPREFIX="$BUILD_DIR/e2e/$1"
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    fi
    E2E_PREFIXES+=("$WINEPREFIX")
    memotack_wine_start
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
}

# drive_c PATH-UNDER-C: the Linux path of C:\PATH in the current prefix.
drive_c() { printf '%s/drive_c/%s' "$WINEPREFIX" "$1"; }

# run_setup ARGS...: runs the installer in the current folder; its whole Windows exit code (not
# just the low 8 bits that wine passes on) is in SETUP_STATUS.
run_setup() {
    SETUP_STATUS=$(wine "$BUILD_DIR/tests/e2e/exit_code.exe" "$(winepath -w "$SETUP_EXE" 2>/dev/null | tr -d '\r')" "$@" \
        2>/dev/null </dev/null | tr -d '\r')
}

# reg_value KEY NAME: prints "TYPE DATA" of a registry value, or nothing.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null </dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n { $1 = ""; sub(/^ +/, ""); print; exit }'
}

# wait_for_window TITLE SECONDS: true once a visible window of exactly that title is on the display.
wait_for_window() {
    local deadline=$((SECONDS + $2))
    until xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

check() {  # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        E2E_FAILURES=$((E2E_FAILURES + 1))
    fi
}

check_eq() {  # check_eq DESCRIPTION EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        echo "ok: $1"
    else
        printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
        E2E_FAILURES=$((E2E_FAILURES + 1))
    fi
}

finish() {
    if [ "$E2E_FAILURES" -ne 0 ]; then
        echo "$E2E_FAILURES check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    [ -z "${MEMOTACK_KEEP_PREFIXES:-}" ] || return 0
    local prefix
    for prefix in "${E2E_PREFIXES[@]}"; do
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
        rm -rf "$prefix" || true
    done
}
