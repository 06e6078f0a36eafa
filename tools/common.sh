# Shared by tools/run.sh and tools/test.sh.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# The Windows tests run the 32-bit build when this machine can execute 32-bit
# programs (wine32 needs that); otherwise the same sources built for x86-64
# run under wine64.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  windows_test_preset=win32
  run_32bit_tests=ON
else
  windows_test_preset=win64
  run_32bit_tests=OFF
fi

# build_preset PRESET [CMAKE CACHE SETTINGS...]
build_preset() {
  local preset=$1; shift
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset"
}

in_wine_session() {
  local preset=$1; shift
  local bits=32
  [ "$preset" = win64 ] && bits=64
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    tools/wine-session.sh "$root/build/$preset/wineprefix" "$bits" "$@"
}
