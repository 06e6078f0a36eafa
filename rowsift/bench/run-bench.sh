#!/usr/bin/env bash
# Builds what the report filter's benchmark needs and prints all its figures
# side by side in one run: the engine and rowsift-cli on Linux, and under
# Wine (32-bit where this machine runs 32-bit programs) Rowsift.exe driven
# through its window beside rowsift-cli.exe on the same log.
#   rowsift/bench/run-bench.sh [--rows N]
set -euo pipefail
source "$(dirname "$0")/../../tools/common.sh"  # moves to the repository's root

if runs_32bit_programs; then
  preset=win32 bits=32 wine=wine
else
  preset=win64 bits=64 wine=/usr/lib/wine/wine64
fi

cmake --preset native >/dev/null
cmake --build --preset native --target engine_bench rowsift-cli >/dev/null
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target window_bench >/dev/null

windows=build/$preset/rowsift
tools/own-display.sh 1280x1024x24 \
  tools/wine-session.sh "$root/build/$preset/wineprefix" "$bits" \
  build/native/rowsift/bench/engine_bench --cli build/native/rowsift/cli/rowsift-cli \
    --windows "$wine" "$windows/bench/window_bench.exe" "$windows/Rowsift.exe" "$windows/cli/rowsift-cli.exe" "$@"
