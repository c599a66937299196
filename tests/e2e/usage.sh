#!/usr/bin/env bash
# -? and /? show the usage message box; dismissing it ends the process, and the installer dialog
# never appears.
source "$(dirname "$0")/lib.sh"
fresh_prefix usage

for switch in '-?' '/?'; do
    wine "$SETUP_EXE" "$switch" >/dev/null 2>&1 </dev/null &
    pid=$!
    check "$switch shows a message box captioned memotack_setup" wait_for_window memotack_setup 30
    check "$switch does not open the installer dialog" \
        bash -c '! xdotool search --onlyvisible --name "^Memotack Installer$" >/dev/null 2>&1'
    check "$switch keeps running while the message is shown" kill -0 $pid
    xdotool key Return
    deadline=$((SECONDS + 15))
    while kill -0 $pid 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    check "$switch ends when the message is dismissed" bash -c "! kill -0 $pid 2>/dev/null"
    set +e
    wait $pid
    status=$?
    set -e
    check_eq "$switch exit code" 0 "$status"
done
finish
