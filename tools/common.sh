# Shared by tools/run.sh and tools/test.sh.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# Everything these commands start runs in a UTF-8 locale, whatever the
# caller's environment holds (a container or CI runner has no LANG): Wine
# spells Windows file names as Unix names in the locale's character set, so
# under the C locale a name outside ASCII cannot be made on disk. A UTF-8
# locale of the caller's own stays; C.UTF-8 comes with Debian's C library.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
  export LC_ALL=C.UTF-8
fi

# The compiler cache names sources relative to the clone, and leaves the
# locale out (it changes only the language of messages), so that another
# clone on this machine, run from another environment, finds what this one
# compiled.
export CCACHE_BASEDIR="$root" CCACHE_SLOPPINESS=locale

source tools/wine-env.sh

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

# prepare_prefixes PRESET: makes and configures the preset's Wine prefix, and
# copies it for the tests that run in an 8-bit display session of their own
# (a copy takes seconds, a new prefix some twenty).
prepare_prefixes() {
  local preset=$1 bits=${1#win} dir=$root/build/$1
  tools/own-display.sh 640x480x24 tools/wine-session.sh "$dir/wineprefix" "$bits" true
  (wine_environment "$dir/wineprefix" "$bits" -all && "$wineserver" -w)
  if [ ! -f "$dir/wineprefix-8bit/.kit-configured" ]; then
    rm -rf "$dir/wineprefix-8bit"
    cp -a "$dir/wineprefix" "$dir/wineprefix-8bit"
  fi
  # The prefixes are 64-bit Windows; the 32-bit package's test installs into
  # a copy of a 32-bit one, made here once.
  if [ "$bits" = 32 ]; then
    WINEARCH=win32 tools/own-display.sh 640x480x24 \
      tools/wine-session.sh "$dir/wineprefix-x86" 32 true
  fi
}

# in_wine_session PRESET COMMAND...: COMMAND with the preset's Wine prefix, a
# running wineserver and an X display of its own.
in_wine_session() {
  local preset=$1; shift
  tools/own-display.sh 1280x1024x24 \
    tools/wine-session.sh "$root/build/$preset/wineprefix" "${preset#win}" "$@"
}
