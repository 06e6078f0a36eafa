# Sourced by tools/wine-run and tools/wine-session.sh (POSIX sh): the one
# environment every Wine program of the build runs in.

# wine_environment PREFIX BITS WINEDEBUG: exports Wine's settings for the
# prefix, and sets $wine and $wineserver to the loader and server of BITS.
wine_environment() {
  export WINEPREFIX="$1" WINEDEBUG="$3" WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$2" = 64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver64
  else
    wine=wine wineserver=wineserver
  fi
}
