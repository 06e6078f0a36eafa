#!/usr/bin/env bash
# tools/check-style.sh [PATH...]
# Checks the kit's code, or the part of it under the PATHs, against
# docs/STYLE.md: the names with clang-tidy (.clang-tidy), the layout with
# clang-format (.clang-format). Reads the sources several at a time, each
# once, and keeps what clang-tidy found for a later run on this machine.
# Prints what differs and, last, how many files were checked and how many
# differ; fails if anything does.
set -euo pipefail
source "$(dirname "$0")/common.sh"

paths=("$@")
[ ${#paths[@]} -gt 0 ] || paths=(.)
# files EXTENSION...: the tracked files of those kinds under the paths.
files() {
  local pathspecs=() path extension
  for path in "${paths[@]}"; do
    for extension in "$@"; do pathspecs+=("$path/*.$extension"); done
  done
  git ls-files -- "${pathspecs[@]}"
}

work=build/style
rm -rf "$work"
mkdir -p "$work/found"
for preset in native win64; do
  [ -f "build/$preset/compile_commands.json" ] || cmake --preset "$preset" >/dev/null
done

# clang-tidy reads the Windows code as MinGW's compiler does, with the
# folders that compiler searches for its own C++ headers.
mingw_cxx=$(python3 -c '
import json, shlex, sys
entry = json.load(open(sys.argv[1]))[0]
words = entry.get("arguments") or shlex.split(entry["command"])
print(next(word for word in words if not word.endswith("ccache")))' build/win64/compile_commands.json)
windows_args=(--extra-arg=--target=x86_64-w64-mingw32)
while read -r folder; do
  windows_args+=("--extra-arg=-isystem$folder")
done < <("$mingw_cxx" -xc++ -E -v - </dev/null 2>&1 |
         sed -n '/search starts here:/,/End of search list/s/^ \(.*\/c++.*\)$/\1/p')
headers="^$root/(common|filelayer|lorvane|rowsift|tandrel)/"

# One job per source that a build compiles: the build, the source, its
# compile command. Platform-free code is read as the native build compiles it.
declare -A commandOf
jobs=()
while IFS=$'\t' read -r preset source command; do
  jobs+=("$preset $source")
  commandOf[$source]=$command
done < <(files cpp | python3 tools/compile-commands.py "$root" "$work" native win64)

# What clang-tidy finds in a source depends on the source, its compile
# command, the kit's headers (those the builds generate too), the checks and
# clang-tidy itself: a finding for the same of all these is kept, under
# ~/.cache, for the next run on this machine from any clone.
cache=${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/kit-style
mkdir -p "$cache"
find "$cache" -type f -mtime +30 -delete 2>/dev/null || true
context=$({
  clang-tidy --version
  cat .clang-tidy
  echo "${windows_args[*]}"
  git ls-files -z -- '*.h' | xargs -0 sha256sum || true
  # Whole, as they name the clone's own paths.
  find build/native build/win64 \( -path '*/generated/*.h' -o -name lorvane_h.h \) -print0 |
    sort -z | xargs -0 cat || true
} 2>&1 | sed "s|$root|.|g" | sha256sum | cut -d' ' -f1)

# tidy PRESET SOURCE: clang-tidy's findings for one source, its paths
# relative, into a file of its own. clang-tidy 14 also reports every 'auto'
# template parameter, nameless, as 'expr-type': those lines are not the
# code's.
tidy() {
  local args=(-p "$work/$1") found=$work/found/${2//\//_} key
  key=$({ echo "$context ${commandOf[$2]}"; sha256sum <"$2"; } | sha256sum | cut -d' ' -f1)
  if [ -f "$cache/$key" ]; then
    cp "$cache/$key" "$found"
    touch "$cache/$key"
    return
  fi
  [ "$1" = native ] || args+=("${windows_args[@]}")
  { clang-tidy --quiet --header-filter="$headers" "${args[@]}" "$2" 2>/dev/null || true; } |
    { grep -v "'expr-type'" || true; } | { grep -A3 "error:" || true; } | sed "s|$root/||g" >"$found"
  cp "$found" "$cache/$key.$BASHPID" && mv "$cache/$key.$BASHPID" "$cache/$key"
}
running=0
for job in "${jobs[@]}"; do
  tidy $job &
  running=$((running + 1))
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

differing=()
for job in "${jobs[@]}"; do
  source=${job#* }
  found=$work/found/${source//\//_}
  if [ -s "$found" ]; then
    cat "$found"
    differing+=("$source")
  fi
done

mapfile -t all < <(files cpp h)
clang-format --dry-run "${all[@]}" 2>"$work/format" || true
cat "$work/format"
mapfile -t -O "${#differing[@]}" differing < <(grep ': warning: ' "$work/format" | cut -d: -f1)

differ=0
[ ${#differing[@]} -eq 0 ] || differ=$(printf '%s\n' "${differing[@]}" | sort -u | wc -l)
echo "check-style: ${#all[@]} files checked, $differ differ"
[ "$differ" -eq 0 ]
