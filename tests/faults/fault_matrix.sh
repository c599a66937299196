#!/usr/bin/env bash
# fault_matrix.sh SETUP_EXE BUILD_DIR [--full] [--only=FUNCTION]: runs fault_matrix.py in a fresh
# Wine prefix of its own, which is removed when no violation was found.
here="$(dirname "$(readlink -f "$0")")"
source "$here/../e2e/lib.sh"
fresh_prefix faults
status=0
python3 "$here/fault_matrix.py" "$SETUP_EXE" "$BUILD_DIR" "${@:3}" || status=$?
if [ $status -eq 0 ] && [ -z "${MEMOTACK_KEEP_PREFIXES:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
fi
exit $status
