#!/usr/bin/env bash
# Builds every target and runs every test: natively, under ASan/UBSan, and
# under Wine as x86-64 and x86 programs. Prints a summary per target and a
# closing "N passed, N failed" line; exits non-zero when any test fails.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh || exit 1

# linux-fuzz builds the libFuzzer targets with clang and runs each for a few
# seconds on its seeds, so they keep building and passing.
presets=${QV_PRESETS:-"linux linux-asan linux-fuzz win64 win32"}

# An X server for the GUI tests (stopped on exit).
source "$root/scripts/xserver.sh"
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p 2>/dev/null || true  # one server for the whole run
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
# Start Wine's session (services, prefix update) once, before tests start
# programs in parallel: two first programs at once can wait on each other.
timeout 300 /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || echo "warning: Wine did not start cleanly"

start=$(date +%s)
total_pass=0 total_fail=0 status=0
summary="" not_run=""
for preset in $presets; do
  dir="$root/build/$preset"
  t0=$(date +%s)
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset" >"$root/build/$preset.configure.log" 2>&1; then
    cat "$root/build/$preset.configure.log"; status=1; summary+="$preset: configure failed"$'\n'; continue
  fi
  if ! cmake --build "$dir" -j2 >"$root/build/$preset.build.log" 2>&1; then
    grep -E "error|Error" -A5 "$root/build/$preset.build.log" | head -60; status=1
    summary+="$preset: build failed"$'\n'; continue
  fi
  if [ "$preset" = win32 ] && [ ! -x /usr/lib/wine/wine ]; then
    # Built, but nothing on this machine can run it: said in the summary, never counted as passed.
    echo "=== $preset: tests NOT RUN: 32-bit Wine is not installed (see build/setup.log)"
    not_run+="$preset: built, but its tests did NOT run: 32-bit Wine is not installed on this machine"$'\n'
    summary+=$(printf '%-11s built; tests NOT RUN (no 32-bit Wine), %ds' "$preset:" $(( $(date +%s) - t0 )))$'\n'
    continue
  fi
  echo "=== $preset: test"
  rm -rf "$dir/gtest-results"; mkdir -p "$dir/gtest-results"
  results="xml:$dir/gtest-results/"
  # Under Wine the report path must be a Windows path (32-bit Wine writes nothing to a Unix one).
  case $preset in win*) results="xml:Z:$(printf '%s' "$dir/gtest-results/" | tr / '\\')" ;; esac
  # Where x86 is emulated a Wine program takes a minute to start and runs
  # slowly: the GUI programs, the same code as on x86-64, stay out there.
  extra=()
  if [ "$preset" = win32 ] && [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    extra=(-LE gui); echo "x86 is emulated here: the GUI tests run on x86-64 only"
  fi
  GTEST_OUTPUT="$results" ctest --test-dir "$dir" -j2 --output-on-failure --timeout 1800 "${extra[@]}" | tee "$dir.ctest.log"
  rc=${PIPESTATUS[0]}
  [ $rc -eq 0 ] || status=1
  # Count individual test cases from the GoogleTest reports.
  read -r pass fail skip < <(cat "$dir"/gtest-results/*.xml 2>/dev/null | awk '
    /<testsuites / { match($0, /tests="[0-9]+"/); t += substr($0, RSTART+7, RLENGTH-8);
                     match($0, /failures="[0-9]+"/); f += substr($0, RSTART+10, RLENGTH-11) }
    /<skipped/ { s++ }
    END { print t - f - s, f + 0, s + 0 }')
  # Programs that write no GoogleTest report (the fuzz targets) count as one case each.
  if ! ls "$dir"/gtest-results/*.xml >/dev/null 2>&1; then
    read -r pass fail < <(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\2 \1/p' "$dir.ctest.log" |
                          awk '{ print $1 - $2, $2 }')
    skip=0
  fi
  if [ $rc -ne 0 ] && [ "${fail:-0}" -eq 0 ]; then fail=1; fi
  total_pass=$((total_pass + ${pass:-0})); total_fail=$((total_fail + ${fail:-0}))
  summary+=$(printf '%-11s %5d test cases passed, %d failed, %d skipped, ctest exit %d, %ds' "$preset:" "${pass:-0}" "${fail:-0}" "${skip:-0}" "$rc" $(( $(date +%s) - t0 )))$'\n'
done
# Cross-target checks on the deliverables just built into dist/.
cross=$(for t in linux win64 win32; do [[ " $presets " == *" $t "* ]] && printf '%s ' "$t"; done)
if [[ " $cross " == *" win32 "* ]] && [ ! -x /usr/lib/wine/wine ]; then
  cross=${cross/win32 /}
  not_run+="cross: win32 left out of the cross-target checks (no 32-bit Wine)"$'\n'
fi
if [ "$(echo $cross | wc -w)" -ge 2 ]; then
  echo "=== cross-target checks: $cross"; t0=$(date +%s)
  scripts/cross-target-check.sh $cross | tee "$root/build/cross-target.log"; rc=${PIPESTATUS[0]}
  pass=0 fail=0; read -r pass fail < <(sed -n 's/^cross-target: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$root/build/cross-target.log")
  [ $rc -eq 0 ] || { status=1; [ "${fail:-0}" -gt 0 ] || fail=1; }
  total_pass=$((total_pass + ${pass:-0})); total_fail=$((total_fail + ${fail:-0}))
  summary+=$(printf '%-11s %5d checks passed, %d failed, %ds' "cross:" "${pass:-0}" "${fail:-0}" $(( $(date +%s) - t0 )))$'\n'
fi
# The downloads, installed and removed as users do, from the deliverables of all three targets.
if [[ " $presets " == *" linux "* && " $presets " == *" win64 "* && " $presets " == *" win32 "* ]]; then
  echo "=== release: installers and packages"; t0=$(date +%s)
  tests/release/release-test.sh | tee "$root/build/release-test.log"; rc=${PIPESTATUS[0]}
  pass=0 fail=0; read -r pass fail < <(sed -n 's/^release-test: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$root/build/release-test.log")
  [ $rc -eq 0 ] || { status=1; [ "${fail:-0}" -gt 0 ] || fail=1; }
  total_pass=$((total_pass + ${pass:-0})); total_fail=$((total_fail + ${fail:-0}))
  summary+=$(printf '%-11s %5d checks passed, %d failed, %ds' "release:" "${pass:-0}" "${fail:-0}" $(( $(date +%s) - t0 )))$'\n'
fi
echo
echo "=== summary"
printf '%s' "$summary"
echo "total time: $(( $(date +%s) - start ))s"
if [ -n "$not_run" ] || grep -q "^  skip  the installer" "$root/build/release-test.log" 2>/dev/null; then
  echo "=== NOT RUN on this machine (not counted as passed):"
  printf '%s' "$not_run"
  grep "^  skip  the installer" "$root/build/release-test.log" 2>/dev/null | sed 's/^  skip  /release: /'
fi
echo "$total_pass passed, $total_fail failed"
exit $status
