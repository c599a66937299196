#!/usr/bin/env bash
# screenshot.sh OUTPUT.png [WINDOW-TITLE [TIMEOUT-SECONDS]]
# Saves a PNG of the X screen ($DISPLAY, usually an Xvfb). With a title, first waits until a window
# of that title is mapped, then for its contents to settle, and shoots just the screen area around it.
set -euo pipefail
out="$1"
title="${2:-}"
timeout="${3:-30}"
mkdir -p "$(dirname "$out")"
if [ -n "$title" ]; then
    deadline=$((SECONDS + timeout))
    until xdotool search --onlyvisible --name "^${title}\$" >/dev/null 2>&1; do
        if [ $SECONDS -ge $deadline ]; then
            echo "screenshot: no window titled '$title' within ${timeout}s" >&2
            exit 1
        fi
        sleep 0.2
    done
    sleep 1
fi
import -window root "$out"
echo "$out"
