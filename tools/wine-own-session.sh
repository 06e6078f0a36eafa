#!/usr/bin/env bash
# wine-own-session.sh SCREEN PREFIX BITS PROGRAM [ARGS...]
# Runs one Windows program in a Wine session of its own: its own Xvfb screen
# (SCREEN as Xvfb writes it, e.g. 640x480x8), its own prefix and wineserver.
# A session the caller may be running in (another prefix, another display)
# is left alone: the wineserver belongs to the prefix.
set -euo pipefail
screen=$1 prefix=$2 bits=$3
shift 3
tools=$(cd "$(dirname "$0")" && pwd)
exec "$tools/own-display.sh" "$screen" \
  "$tools/wine-session.sh" "$prefix" "$bits" "$tools/wine-run" "$prefix" "$bits" "$@"
