# Shared by tools/run.sh and tools/test.sh.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# Whether this machine executes 32-bit programs, which wine32 needs: some
# kernels have no 32-bit support at all. Asked by running wine32's own
# loader, so only after tools/setup.sh has installed it.
runs_32bit_programs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# build_preset PRESET [CMAKE CACHE SETTINGS...]: everything, tests included.
build_preset() {
  local preset=$1; shift
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset"
}

# build_kit PRESET: only what the preset ships.
build_kit() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" --target kit
}

# in_wine_session PRESET COMMAND...: COMMAND with the preset's Wine prefix, a
# running wineserver and an X display of its own.
in_wine_session() {
  local preset=$1; shift
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    tools/wine-session.sh "$root/build/$preset/wineprefix" "${preset#win}" "$@"
}
