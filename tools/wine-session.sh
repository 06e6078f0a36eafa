#!/usr/bin/env bash
# wine-session.sh PREFIX BITS COMMAND [ARGS...]
# Runs COMMAND with one Wine prefix and one running wineserver, inside the X
# display the caller provides (tools/own-display.sh). Creates and configures
# the prefix on first use: no window manager wait, no crash dialog, no
# debugger.
set -euo pipefail
prefix=$1 bits=$2
shift 2
[ -n "${DISPLAY:-}" ] || { echo "wine-session: needs an X display (run under tools/own-display.sh)" >&2; exit 2; }

source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# Quiet whatever the caller's WINEDEBUG says: the prefix's set-up and the
# wineserver write nothing into the output, and each program the session runs
# gets its own setting from tools/wine-run (ctest's, or quiet again).
wine_environment "$prefix" "$bits" -all

if [ ! -f "$prefix/.kit-configured" ]; then
  echo "wine-session: creating the test prefix $prefix" >&2
  mkdir -p "$prefix"
  "$wine" wineboot -i >/dev/null 2>&1
  reg='C:\windows\system32\reg.exe'
  "$wine" "$reg" add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
  "$wine" "$reg" add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
  # A program that crashes just ends, its missing output telling, rather than
  # waiting in a debugger that holds the run.
  "$wine" "$reg" add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /t REG_SZ /d false /f >/dev/null
  "$wineserver" -w
  touch "$prefix/.kit-configured"
fi

# A session owns its prefix: a server that an interrupted session left
# running there, bound to a display that is gone, is ended first.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -p </dev/null >/dev/null 2>&1
# Start Wine's own background processes now, detached from the caller's
# output: a test runner that captures a program's output would otherwise wait
# for them, since they inherit its pipe.
"$wine" wineboot </dev/null >/dev/null 2>&1
status=0
"$@" || status=$?
"$wineserver" -k || true
exit "$status"
