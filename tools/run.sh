#!/usr/bin/env bash
# The main job: installs what is missing, builds the kit into dist/, and
# condenses the bundled sample results log to the rows about "Login" with the
# Linux rowsift-cli and, under Wine, with rowsift-cli.exe.
set -euo pipefail
source "$(dirname "$0")/common.sh"
tools/setup.sh

build_preset native
cmake --install build/native >/dev/null
build_preset win32 -DKIT_RUN_WINDOWS_TESTS=$run_32bit_tests
cmake --install build/win32 >/dev/null
echo "run: the kit is in dist/win32 (Windows) and dist/linux (Linux)"

out=build/main-job
mkdir -p "$out"
echo "run: dist/linux/rowsift-cli --filter Login samples/results.htm"
dist/linux/rowsift-cli --overwrite --filter Login samples/results.htm "$out/results_Output.htm"

# The Windows program runs where this machine can run it: the 32-bit build
# needs a kernel that executes 32-bit code, otherwise its 64-bit twin runs.
if [ "$windows_test_preset" = win32 ]; then
  exe=dist/win32/rowsift-cli.exe
else
  build_preset win64
  exe=build/win64/rowsift/cli/rowsift-cli.exe
fi
echo "run: $exe --filter Login samples/results.htm (under Wine)"
in_wine_session "$windows_test_preset" \
  tools/wine-run "$root/build/$windows_test_preset/wineprefix" "${windows_test_preset#win}" \
  "$exe" --overwrite --filter Login 'Z:'"$root/samples/results.htm" 'Z:'"$root/$out/results_Output_wine.htm"

cmp "$out/results_Output.htm" "$out/results_Output_wine.htm"
cmp "$out/results_Output.htm" samples/results_Login_expected.htm
echo "run: both outputs are identical and as expected: $out/results_Output.htm"
