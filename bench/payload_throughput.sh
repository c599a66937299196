#!/usr/bin/env bash
# Builds and runs the payload benchmark under Wine in the build's private prefix and prints
# ExtractPayload's throughput against a plain zlib inflate of the same data.
# Usage: bench/payload_throughput.sh [build folder, default ./build]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" --target payload_bench >/dev/null
"$root/tools/wine-run" "$build/wineprefix" "$build/bench/payload_bench.exe"
