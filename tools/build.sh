#!/usr/bin/env bash
# build.sh [BUILD_DIR]: installs what the build needs (as root, once) and builds everything.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)"
build="${1:-$root/build}"
if [ "$(id -u)" -eq 0 ]; then
    bash "$root/tools/setup.sh"
fi
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2
