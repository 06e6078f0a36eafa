#!/usr/bin/env bash
# Runs every test of the kit that this machine can run: installs what is
# missing, builds with every warning an error, and runs side by side the
# native tests (sanitizers, a bounded fuzzing run), the 64-bit kit's tests
# under wine64, where this machine executes 32-bit programs the 32-bit kit's
# tests under wine32, and the style check. A suite starts as soon as its
# build is done, while the next build goes on; every suite runs even when
# another failed. Ends with a table of each suite's tests passed, failed and
# skipped and its seconds, then one line with the totals. The exit code says
# whether every suite ran tests and all passed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
tools/setup.sh

# What CI runs: every warning fails the build.
strict=-DKIT_WARNINGS_AS_ERRORS=ON
began=$SECONDS
summary=build/test-summary
rm -rf "$summary"
mkdir -p "$summary"

# finish NAME STATUS SECONDS: records how a suite's run ended.
finish() {
  echo "$2 $3" >"$summary/$1.status"
}

# suite NAME COMMAND...: starts COMMAND in the background, its output kept
# for the end.
suite() {
  local name=$1
  shift
  echo "test: $name: started"
  (
    start=$SECONDS status=0
    "$@" >"$summary/$name.log" 2>&1 </dev/null || status=$?
    finish "$name" "$status" $((SECONDS - start))
  ) &
}

# build NAME PRESET [TARGET]: builds PRESET (only TARGET when given); a suite
# whose build failed has run no test.
build() {
  if cmake --build --preset "$2" ${3:+--target "$3"}; then
    return 0
  fi
  echo "build failed" >"$summary/$1.log"
  finish "$1" build 0
  return 1
}

# ctest_run PRESET [CTEST OPTIONS...]: the command that runs the build's
# tests, several at a time; tests that cannot share the desktop or the
# registry hold locks (cmake/kit.cmake). Each test's outcome goes to
# ctest-results.xml, each GoogleTest case's to test-results/; what an earlier
# run left there goes first.
ctest_run() {
  local preset=$1
  shift
  rm -rf "build/$preset/test-results" "build/$preset/ctest-results.xml"
  ctest_command=(ctest --preset "$preset" --output-junit ctest-results.xml "$@")
}

# The suites of the table, in its order.
suites=(native win32 win64 style)
if runs_32bit_programs; then
  wine32=ON
  # The 64-bit kit's tests include the two Lorvane servers side by side.
  peer_lorvane=$root/build/win32/lorvane/Lorvane.dll
else
  wine32=OFF
  peer_lorvane=
  suites[1]="win32 binaries"
fi
cmake --preset native $strict >/dev/null
cmake --preset win32 $strict -DKIT_RUN_WINDOWS_TESTS=$wine32 >/dev/null
# The 64-bit package carries the 32-bit kit too.
cmake --preset win64 $strict -DKIT_PEER_LORVANE="$peer_lorvane" -DKIT_PEER_BUILD="$root/build/win32" \
  >/dev/null

# The names and layout of docs/STYLE.md. clang-tidy reads the sources as the
# native and the 64-bit builds compile them, and of what those generate needs
# only the type library's header; it runs from the start, on what the builds
# leave of the processors.
cmake --build --preset win64 --target lorvane/lorvane_h.h >/dev/null || true
suite style nice tools/check-style.sh

# The Wine prefixes are made while the code compiles.
prefixes=(win64)
[ "$wine32" = OFF ] || prefixes+=(win32)
declare -A preparing
for preset in "${prefixes[@]}"; do
  prepare_prefixes "$preset" >"$summary/$preset-prefix.log" 2>&1 &
  preparing[$preset]=$!
done
# prefix_ready PRESET: false, with the reason in the suite's log, when its
# prefix could not be made.
prefix_ready() {
  wait "${preparing[$1]}" && return 0
  cp "$summary/$1-prefix.log" "$summary/$1.log"
  finish "$1" prefix 0
  return 1
}

# The native suite first: its fuzzing run keeps one processor busy for half
# a minute, beside the Windows builds. The Windows suites wait on windows
# more than they compute: each starts beside the next build, in a Wine
# session of its own.
build native native && ctest_run native -j "$(nproc)" && suite native "${ctest_command[@]}"
wine_jobs=$(($(nproc) * 2))
if [ "$wine32" = ON ]; then
  build win32 win32 && ctest_run win32 -j "$wine_jobs" && prefix_ready win32 &&
    suite win32 in_wine_session win32 "${ctest_command[@]}"
else
  echo "test: this machine cannot execute 32-bit programs: the 32-bit kit is built"
  echo "test: and its binaries checked, but its programs cannot run here"
  # The 32-bit package's install test is there, skipped.
  build "win32 binaries" win32 kit && ctest_run win32 -L 'binary|package' &&
    suite "win32 binaries" "${ctest_command[@]}"
fi
build win64 win64 && ctest_run win64 -j "$wine_jobs" && prefix_ready win64 &&
  suite win64 in_wine_session win64 "${ctest_command[@]}"
wait

# --- The count -------------------------------------------------------------

# cases XML: "passed failed skipped" of a GoogleTest results file, and the
# name of each failed case on a line of its own.
cases() {
  awk '
    function close_case() {
      if (!open) return
      if (failed) { failures++; names = names name "\n" }
      else if (skipped) skips++
      else passes++
      open = 0
    }
    /<testcase / {
      close_case()
      open = 1; failed = 0
      match($0, / name="[^"]*"/); name = substr($0, RSTART + 7, RLENGTH - 8)
      match($0, / classname="[^"]*"/); name = substr($0, RSTART + 12, RLENGTH - 13) "." name
      skipped = ($0 ~ /result="skipped"/ || $0 ~ /status="notrun"/)
      if ($0 ~ /\/>[[:space:]]*$/) close_case()
    }
    /<failure / { failed = 1 }
    /<\/testcase>/ { close_case() }
    END { close_case(); printf "%d %d %d\n%s", passes, failures, skips, names }
  ' "$1"
}

# count_ctest PRESET: "passed failed skipped" over the build's tests, each
# GoogleTest program by its cases, then the names of what failed. A program
# that failed beyond its cases (a crash, a time-out, its exit code) is a
# failure of its own.
count_ctest() {
  local dir=build/$1 passed=0 failed=0 skipped=0 names="" test status counts failing p f s
  if [ ! -f "$dir/ctest-results.xml" ]; then
    printf '0 1 0\nno test ran\n'
    return
  fi
  while read -r test status; do
    if [ -f "$dir/test-results/$test.xml" ]; then
      counts=$(cases "$dir/test-results/$test.xml")
      read -r p f s <<<"$(head -1 <<<"$counts")"
      passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
      failing=$(tail -n +2 <<<"$counts")
      [ -z "$failing" ] || names+="$failing"$'\n'
      if [ "$status" = fail ] && [ "$f" -eq 0 ]; then
        failed=$((failed + 1)) names+="$test (the program itself)"$'\n'
      fi
    else
      case $status in
        run) passed=$((passed + 1)) ;;
        fail) failed=$((failed + 1)) names+="$test"$'\n' ;;
        *) skipped=$((skipped + 1)) ;;
      esac
    fi
  done < <(sed -n 's/.*<testcase name="\([^"]*\)".* status="\([a-z]*\)".*/\1 \2/p' \
             "$dir/ctest-results.xml")
  if [ $((passed + failed)) -eq 0 ]; then
    failed=1 names+="no test ran"$'\n'
  fi
  printf '%d %d %d\n%s' "$passed" "$failed" "$skipped" "$names"
}

# count_style: files checked that passed and that differ.
count_style() {
  local checked differ
  if read -r checked differ < <(sed -n 's/^check-style: \([0-9]*\) files checked, \([0-9]*\) differ$/\1 \2/p' \
                                  "$summary/style.log"); then
    printf '%d %d 0\n' $((checked - differ)) "$differ"
  else
    printf '0 1 0\nthe style check did not finish\n'
  fi
}

total_passed=0 total_failed=0 total_skipped=0
table=()
for name in "${suites[@]}"; do
  echo
  echo "test: ---- $name ----"
  cat "$summary/$name.log" 2>/dev/null || true
  # A suite that never said how it ended (its runner was killed) failed.
  status=killed seconds=0
  [ ! -f "$summary/$name.status" ] || read -r status seconds <"$summary/$name.status"
  if [ "$status" = build ]; then
    counts=$'0 1 0\nthe build failed'
  elif [ "$status" = prefix ]; then
    counts=$'0 1 0\nits Wine prefix could not be made'
  elif [ "$status" = killed ]; then
    counts=$'0 1 0\nit did not finish'
  else
    case $name in
      style) counts=$(count_style) ;;
      "win32 binaries") counts=$(count_ctest win32) ;;
      *) counts=$(count_ctest "$name") ;;
    esac
  fi
  read -r passed failed skipped <<<"$(head -1 <<<"$counts")"
  # A suite whose command failed has failed, whatever it counted.
  if [ "$status" != 0 ] && [ "$status" != build ] && [ "$status" != prefix ] &&
     [ "$failed" -eq 0 ]; then
    failed=1 counts+=$'\n'"its command failed (exit code $status)"
  fi
  tail -n +2 <<<"$counts" | sed "/^$/d; s/^/test: $name: FAILED /"
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
  table+=("$(printf '%-16s %7d %7d %8d %8d' "$name" "$passed" "$failed" "$skipped" "$seconds")")
done

echo
printf 'test: %-16s %7s %7s %8s %8s\n' suite passed failed skipped seconds
printf 'test: %s\n' "${table[@]}"
printf 'test: %-16s %7d %7d %8d %8d\n' total "$total_passed" "$total_failed" "$total_skipped" \
  $((SECONDS - began))
line="$total_passed passed, $total_failed failed"
[ "$total_skipped" -eq 0 ] || line+=", $total_skipped skipped"
echo "$line" >"$summary/summary"
echo "$line"
[ "$total_failed" -eq 0 ] && [ "$total_passed" -gt 0 ]
