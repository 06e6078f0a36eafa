#!/usr/bin/env bash
# Runs every test of the kit that this machine can run: installs what is
# missing, builds with every warning an error, and runs the native tests
# (sanitizers, a bounded fuzzing run), the 64-bit kit's tests under wine64,
# where this machine executes 32-bit programs the 32-bit kit's tests under
# wine32, and the style check. Every suite runs even when an earlier one
# failed; the exit code says whether all passed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
tools/setup.sh

# What CI runs: every warning fails the build.
strict=-DKIT_WARNINGS_AS_ERRORS=ON

failed=()
suite() {
  local name=$1; shift
  echo "test: $name"
  "$@" || failed+=("$name")
}

build_preset native $strict
suite native ctest --preset native

if runs_32bit_programs; then
  build_preset win32 $strict -DKIT_RUN_WINDOWS_TESTS=ON
  suite win32 in_wine_session win32 ctest --preset win32
  # The 64-bit kit's tests include the two Lorvane servers side by side.
  peer_lorvane=$root/build/win32/lorvane/Lorvane.dll
else
  echo "test: this machine cannot execute 32-bit programs: the 32-bit kit is built"
  echo "test: and its binaries checked, but its programs cannot run here"
  build_preset win32 $strict -DKIT_RUN_WINDOWS_TESTS=OFF
  suite "win32 binaries" ctest --preset win32 -L binary
  peer_lorvane=
fi

build_preset win64 $strict -DKIT_PEER_LORVANE="$peer_lorvane"
suite win64 in_wine_session win64 ctest --preset win64

# The names and layout of docs/STYLE.md.
suite style tools/check-style.sh

if [ ${#failed[@]} -gt 0 ]; then
  echo "test: FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "test: all suites passed"
