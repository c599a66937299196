#!/usr/bin/env bash
# run.sh [-silent | -extract | -? | ...]: builds memotack_setup.exe and runs it under Wine in the
# project's private prefix (build/run-prefix), passing the arguments on.
# With a display the installer opens there for you. Without one it runs inside Xvfb and never
# waits for a person: with no arguments it saves a screenshot of the options page and closes the
# dialog; with -silent or -extract it runs that mode and prints what was written where. Where Wine
# runs in the project's VM (tools/wine-mode.sh), it always runs so, inside the VM.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
build="$root/build"

source "$root/tools/wine-mode.sh"
if [ -z "${MEMOTACK_TEST_BUILT:-}" ]; then
    bash "$root/tools/build.sh" "$build" >/dev/null
fi
memotack_wine_mode
# In the project's Wine VM it runs as without a display, in a prefix on the VM's disk; the
# screenshots land in build/screenshots all the same.
if [ "$MEMOTACK_WINE_MODE" = vm ] || [ -z "${DISPLAY:-}" ]; then
    export MEMOTACK_HEADLESS=1
    memotack_run_again --local "$build/run-prefix" -- bash "$root/tools/run.sh" "$@"
    exit $?
fi

# A prefix of its own, apart from the tests' build/wineprefix: what you install here never meets them.
export WINEPREFIX="$build/run-prefix"
source "$root/tools/wine-env.sh"
memotack_wine_start
trap memotack_wine_stop EXIT
setup="$build/memotack_setup.exe"
# Wine passes only the low 8 bits of an exit code on to Linux (1602 would read 66): the tests'
# exit_code.exe runs the installer and prints its whole code.
exit_code_exe="$build/tests/e2e/exit_code.exe"
run_setup() {  # run_setup ARGS...: prints nothing; the whole exit code is in $status
    if [ -f "$exit_code_exe" ]; then
        status=$(wine "$exit_code_exe" "$(winepath -w "$setup" 2>/dev/null | tr -d '\r')" "$@" 2>/dev/null | tr -d '\r')
    else
        set +e
        wine "$setup" "$@"
        status=$?
        set -e
    fi
}

if [ -z "${MEMOTACK_HEADLESS:-}" ]; then
    run_setup "$@"
    echo "memotack_setup.exe exited with $status"
    exit $status
fi

in_prefix() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PelmoMemotack'
reg_data() {
    wine reg query "$uninstall_key" /v "$1" /reg:32 2>/dev/null | tr -d '\r' |
        awk -v n="$1" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print; exit }'
}

case " $* " in
*-silent* | *-extract*)
    run_setup "$@" </dev/null >/dev/null 2>&1
    echo "memotack_setup.exe $* exited with $status"
    [[ "$status" =~ ^[0-9]+$ ]] || status=1
    if [[ " $* " == *-silent* ]]; then
        location=$(reg_data InstallLocation)
        if [ -n "$location" ]; then
            echo "Installed into $location ($(in_prefix "$location")):"
            ls -l "$(in_prefix "$location")" | sed 's/^/  /'
            echo "Uninstall entry $uninstall_key (32-bit view):"
            wine reg query "$uninstall_key" /reg:32 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}/  /p'
            uninstaller=$(reg_data UninstallString)
            echo "Uninstaller: $uninstaller ($(in_prefix "$uninstaller"))"
        else
            echo "No uninstall entry was written."
        fi
        find "$WINEPREFIX/drive_c" -name Memotack.lnk -printf 'Shortcut: %p\n'
    else
        for f in memotack.exe memotack.chm; do
            [ -f "$f" ] && echo "Wrote $PWD/$f ($(stat -c %s "$f") bytes)" || echo "Did not write $PWD/$f"
        done
    fi
    exit $status
    ;;
esac

shots="$build/screenshots"
status_file="$build/run.status"
rm -f "$status_file"
(
    run_setup "$@"
    echo "$status" >"$status_file"
) </dev/null >/dev/null 2>&1 &
pid=$!
if [[ " $* " == *'-?'* || " $* " == *'/?'* ]]; then
    title=memotack_setup
    shot="$shots/usage.png"
else
    title="Memotack Installer"
    shot="$shots/options.png"
fi
"$root/tools/screenshot.sh" "$shot" "$title" 60 >/dev/null
echo "Screenshot of the window \"$title\": $shot"
# The window has the keyboard focus (there is no other); Escape closes either window.
xdotool key Escape
wait $pid || true
status=$(cat "$status_file" 2>/dev/null || echo unknown)
echo "memotack_setup.exe exited with $status"
[ "$status" = 1602 ] && echo "(1602: the dialog was closed without installing)"
exit 0
