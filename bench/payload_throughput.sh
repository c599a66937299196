#!/usr/bin/env bash
# Builds and runs the payload benchmark under Wine in the build's private prefix, first with the
# whole Wine process tree held to one core (taskset -c 0), then free on every core, and prints
# ExtractPayload's throughput against a plain zlib inflate of the same data, for the 8 MB bench
# payload and for the installer's own program payload; each line is led by "1 core" or "N cores".
# Where Wine runs in the project's VM, both runs take place there, in one boot.
# Usage: bench/payload_throughput.sh [build folder, default ./build]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
source "$root/tools/wine-mode.sh"
[ "${MEMOTACK_BENCH_BUILT:-}" = 1 ] || cmake --build "$build" --target payload_bench >/dev/null
memotack_wine_mode quiet
if [ "$MEMOTACK_WINE_MODE" = vm ]; then
    MEMOTACK_BENCH_BUILT=1 exec "$root/tools/winevm/run" --share "$build" --local "$build/wineprefix" -- \
        bash "$0" "$build"
fi
# A fresh wineserver for each run, so that it runs under the same affinity as the benchmark.
WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
taskset -c 0 "$root/tools/wine-run" "$build/wineprefix" "$build/bench/payload_bench.exe" | sed 's/^/1 core, /'
WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
"$root/tools/wine-run" "$build/wineprefix" "$build/bench/payload_bench.exe" | sed "s/^/$(nproc) cores, /"
WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
