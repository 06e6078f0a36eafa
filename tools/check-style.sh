#!/usr/bin/env bash
# tools/check-style.sh [PATH...]
# Checks the kit's code, or the part of it under the PATHs, against
# docs/STYLE.md: the names with clang-tidy (.clang-tidy), the layout with
# clang-format (.clang-format). Prints what differs; fails if anything does.
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

for preset in native win64; do
  cmake --preset "$preset" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
done
# clang-tidy reads the Windows code as MinGW's compiler does, with its headers.
mingw_cxx=$(echo /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++)
windows_args=(--extra-arg=--target=x86_64-w64-mingw32
              "--extra-arg=-isystem$mingw_cxx" "--extra-arg=-isystem$mingw_cxx/x86_64-w64-mingw32")
headers="^$root/(common|filelayer|lorvane|rowsift|tandrel)/"

status=0
mapfile -t sources < <(files cpp)
for source in "${sources[@]}"; do
  # Platform-free code is read as the native build compiles it.
  if grep -q "\"file\": \"$root/$source\"" build/native/compile_commands.json; then
    args=(-p build/native)
  elif grep -q "\"file\": \"$root/$source\"" build/win64/compile_commands.json; then
    args=(-p build/win64 "${windows_args[@]}")
  else
    continue
  fi
  # clang-tidy 14 also reports every 'auto' template parameter, nameless,
  # as 'expr-type': those lines are not the code's.
  if { clang-tidy --quiet --header-filter="$headers" "${args[@]}" "$source" 2>/dev/null || true; } |
       grep -v "'expr-type'" | grep -A3 "error:"; then
    status=1
  fi
done

mapfile -t all < <(files cpp h)
clang-format --dry-run -Werror "${all[@]}" || status=1
exit $status
