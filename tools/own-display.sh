#!/usr/bin/env bash
# own-display.sh SCREEN COMMAND [ARGS...]
# Runs COMMAND with an X display of its own: an Xvfb screen (SCREEN as Xvfb
# writes it, e.g. 1280x1024x24) on a free display number that Xvfb picks
# itself, so that sessions started at the same moment never take the same
# one. The screen goes when COMMAND ends; COMMAND's exit code is kept.
set -euo pipefail
screen=$1
shift

scratch=$(mktemp -d)
mkfifo "$scratch/number"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$scratch/number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -rf "$scratch"' EXIT
# Xvfb writes its number once it accepts clients; nothing if it fails.
read -r number <"$scratch/number" || true
[ -n "${number:-}" ] || { echo "own-display: Xvfb did not start" >&2; exit 2; }

status=0
DISPLAY=":$number" "$@" || status=$?
exit "$status"
