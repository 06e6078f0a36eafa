#!/usr/bin/env bash
# tools/check-style.sh [PATH...]
# Checks the kit's code, or the part of it under the PATHs, against
# docs/STYLE.md: the names with clang-tidy (.clang-tidy), the layout with
# clang-format (.clang-format). Reads the sources several at a time, each
# once. Prints what differs and, last, how many files were checked and how
# many differ; fails if anything does.
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
mkdir -p "$work/native" "$work/win64" "$work/found"
# A build lists a source once for each target that compiles it (natively
# also sanitized, and for the fuzzer); clang-tidy would read it that many
# times. Its first entry is kept.
for preset in native win64; do
  [ -f "build/$preset/compile_commands.json" ] || cmake --preset "$preset" >/dev/null
  awk '
    /^\{$/ { block = $0; next }
    /^  "file": / { file = $0 }
    /^\},?$/ {
      if (!(file in seen)) { seen[file]; kept = kept separator block "\n}"; separator = ",\n" }
      block = ""; next
    }
    block != "" { block = block "\n" $0 }
    END { print "[\n" kept "\n]" }
  ' "build/$preset/compile_commands.json" >"$work/$preset/compile_commands.json"
done

# clang-tidy reads the Windows code as MinGW's compiler does, with its headers.
mingw_cxx=$(echo /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++)
windows_args=(--extra-arg=--target=x86_64-w64-mingw32
              "--extra-arg=-isystem$mingw_cxx" "--extra-arg=-isystem$mingw_cxx/x86_64-w64-mingw32")
headers="^$root/(common|filelayer|lorvane|rowsift|tandrel)/"

# One line per source that a build compiles: the build's folder, the source.
# Platform-free code is read as the native build compiles it.
mapfile -t sources < <(files cpp)
jobs=()
for source in "${sources[@]}"; do
  for preset in native win64; do
    if grep -q "\"file\": \"$root/$source\"" "$work/$preset/compile_commands.json"; then
      jobs+=("$preset $source")
      break
    fi
  done
done

# tidy PRESET SOURCE: clang-tidy's findings for one source, into a file of
# its own. clang-tidy 14 also reports every 'auto' template parameter,
# nameless, as 'expr-type': those lines are not the code's.
tidy() {
  local args=(-p "$work/$1")
  [ "$1" = native ] || args+=("${windows_args[@]}")
  { clang-tidy --quiet --header-filter="$headers" "${args[@]}" "$2" 2>/dev/null || true; } |
    { grep -v "'expr-type'" || true; } | { grep -A3 "error:" || true; } >"$work/found/${2//\//_}"
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
