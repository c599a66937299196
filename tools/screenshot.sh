#!/usr/bin/env bash
# screenshot.sh OUTPUT.png [WINDOW-TITLE [TIMEOUT-SECONDS]]
# Saves a PNG of the X screen ($DISPLAY, usually an Xvfb). With a title, first waits until a window
# of that title is mapped and its contents have settled, and shoots just that window.
set -euo pipefail
out="$1"
title="${2:-}"
timeout="${3:-30}"
mkdir -p "$(dirname "$out")"
window=root
if [ -n "$title" ]; then
    deadline=$((SECONDS + timeout))
    until window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1) && [ -n "$window" ]; do
        if [ $SECONDS -ge $deadline ]; then
            echo "screenshot: no window titled '$title' within ${timeout}s" >&2
            exit 1
        fi
        sleep 0.2
    done
    sleep 1
fi
import -window "$window" "$out"
echo "$out"
