#!/usr/bin/env bash
# The main job: installs what is missing; builds the 32-bit and the 64-bit
# Windows kit into dist/win32 and dist/win64 and the Linux rowsift-cli into
# dist/linux; packs the Windows kit into dist/kit-<version>-windows.zip and
# the Windows Installer packages dist/kit-<version>-x64.msi and -x86.msi; and
# condenses the bundled sample results log to the rows about "Login" with the
# Linux rowsift-cli and, under Wine, with the Windows build this machine runs.
set -euo pipefail
source "$(dirname "$0")/common.sh"
tools/setup.sh

if runs_32bit_programs; then wine_bits=32; else wine_bits=64; fi

build_kit native
cmake --install build/native --strip >/dev/null
for preset in win32 win64; do
  build_kit "$preset"
  rm -rf "dist/$preset"
  cmake --install "build/$preset" --strip >/dev/null
done
echo "run: the kit is in dist/win32 and dist/win64 (Windows) and dist/linux (Linux)"
cmake -DSOURCE_DIR="$root" -DDIST="$root/dist" -DSTAGE="$root/build/package" \
      -P cmake/package-kit.cmake
version=$(head -n 1 VERSION)
for arch in x64 x86; do
  cmake -DSOURCE_DIR="$root" -DKITS="$root/dist" -DARCH=$arch -DSTAGE="$root/build/package-$arch" \
        -DOUT="$root/dist/kit-$version-$arch.msi" -P packaging/package-msi.cmake
done

out=build/main-job
mkdir -p "$out"
echo "run: dist/linux/rowsift-cli --filter Login samples/results.htm"
dist/linux/rowsift-cli --overwrite --filter Login samples/results.htm "$out/results_Output.htm"

# The Windows program runs as the build this machine can execute: the 32-bit
# one needs a kernel that runs 32-bit code.
exe=dist/win$wine_bits/rowsift-cli.exe
echo "run: $exe --filter Login samples/results.htm (under Wine)"
in_wine_session "win$wine_bits" \
  tools/wine-run "$root/build/win$wine_bits/wineprefix" "$wine_bits" \
  "$exe" --overwrite --filter Login 'Z:'"$root/samples/results.htm" 'Z:'"$root/$out/results_Output_wine.htm"

cmp "$out/results_Output.htm" "$out/results_Output_wine.htm"
cmp "$out/results_Output.htm" samples/results_Login_expected.htm
echo "run: both outputs are identical and as expected: $out/results_Output.htm"
