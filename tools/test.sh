#!/usr/bin/env bash
# Runs every test of the kit: installs what is missing, builds, and runs the
# native tests (sanitizers, a bounded fuzzing run) and the Windows tests under
# Wine.
set -euo pipefail
source "$(dirname "$0")/common.sh"
tools/setup.sh

build_preset native
ctest --preset native

build_preset win32 -DKIT_RUN_WINDOWS_TESTS=$run_32bit_tests
if [ "$windows_test_preset" = win32 ]; then
  in_wine_session win32 ctest --preset win32
else
  echo "test: this machine cannot execute 32-bit programs; checking the 32-bit"
  echo "test: deliverables' imports here and running the Windows tests as x86-64 under wine64"
  ctest --preset win32 -L imports
  build_preset win64
  in_wine_session win64 ctest --preset win64
fi
