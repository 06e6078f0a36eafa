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
  local args=(-p "$work/$1") found=$work/found/${2//\//_} command key
  command=$(grep -B1 "\"file\": \"$root/$2\"" "$work/$1/compile_commands.json" | head -1)
  key=$({ echo "$context ${command//$root/.}"; sha256sum <"$2"; } | sha256sum | cut -d' ' -f1)
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
