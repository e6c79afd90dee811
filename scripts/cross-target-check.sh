#!/usr/bin/env bash
# Cross-target checks with the built deliverables in dist/: the same input and
# program give bit-identical double-precision output on every target, the
# single-precision path stays within float rounding of it, and preset (.fxp)
# and bank (.fxb) files saved by one target load on the others. The VST 3
# bundle (dist/vst3) renders bit-identically to the VST 2.4 library of the
# same target, and state moves between the two formats.
#
#   scripts/cross-target-check.sh [TARGET...]   (default: linux win64 win32)
#
# Windows x86 is emulated on some machines (a minute per program start), so
# it gets exactly one run: it loads a bank saved on Linux, saves a program
# file and renders, and the other targets check all three results.
# Ends with "cross-target: N passed, N failed"; exits non-zero on a failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=${*:-linux win64 win32}
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

has() { [[ " $targets " == *" $1 "* ]]; }
qvhost() {  # TARGET ARGS...: qvhost of that target with its plug-in after the command
  local t=$1 cmd=$2; shift 2
  case $t in
    linux) dist/linux/qvhost "$cmd" dist/linux/QVDelay64.so "$@" ;;
    win64) scripts/wine-run dist/win64/qvhost.exe "$cmd" dist/win64/QVDelay64.dll "$@" ;;
    win32) scripts/wine-run dist/win32/qvhost.exe "$cmd" dist/win32/QVDelay.dll "$@" ;;
  esac
}
vst3() {  # TARGET ARGS...: qvhost of that target with the VST 3 bundle after the command
  local t=$1 cmd=$2; shift 2
  case $t in
    linux) dist/linux/qvhost "$cmd" dist/vst3/QVDelay.vst3 "$@" ;;
    win64) scripts/wine-run dist/win64/qvhost.exe "$cmd" dist/vst3/QVDelay.vst3 "$@" ;;
    win32) scripts/wine-run dist/win32/qvhost.exe "$cmd" dist/vst3/QVDelay.vst3 "$@" ;;
  esac
}
checksum() { sed -n 's/^checksum  \([0-9a-f]*\).*/\1/p'; }

pass=0 fail=0
check() {  # NAME EXPECTED ACTUAL
  if [ -n "$2" ] && [ "$2" = "$3" ]; then
    pass=$((pass + 1)); printf 'ok    %s  (%s)\n' "$1" "$3"
  else
    fail=$((fail + 1)); printf 'FAIL  %s: expected "%s", got "%s"\n' "$1" "$2" "$3"
  fi
}
check_rc() {  # NAME COMMAND...: passes when the command succeeds
  local name=$1; shift
  local said; said=$("$@" 2>&1)
  if [ $? -eq 0 ]; then pass=$((pass + 1)); printf 'ok    %s  (%s)\n' "$name" "$said"
  else fail=$((fail + 1)); printf 'FAIL  %s: %s\n' "$name" "$said"; fi
}

for t in $targets; do
  for f in $(case $t in linux) echo dist/linux/qvhost dist/linux/QVDelay64.so ;;
                         win64) echo dist/win64/qvhost.exe dist/win64/QVDelay64.dll ;;
                         win32) echo dist/win32/qvhost.exe dist/win32/QVDelay.dll ;; esac); do
    [ -f "$f" ] || { echo "FAIL  $f is missing"; echo "cross-target: 0 passed, 1 failed"; exit 1; }
  done
done
if ! has linux || [ ! -x dist/linux/qvphrase ] || [ ! -x dist/linux/qvwavdiff ]; then
  echo "FAIL  the checks need the Linux build (dist/linux/qvphrase, qvwavdiff)"
  echo "cross-target: 0 passed, 1 failed"; exit 1
fi

work=build/cross-target
rm -rf "$work"; mkdir -p "$work"
dist/linux/qvphrase "$work/phrase.wav" >/dev/null

echo "--- every factory program, double and single precision, on each target"
for p in 0 1 2 3 4 5 6 7 8 9; do
  ref=$(qvhost linux render "$work/phrase.wav" "$work/linux-$p-d.wav" --program "$p" --double --tail 1 | checksum)
  single=$(qvhost linux render "$work/phrase.wav" "$work/linux-$p-s.wav" --program "$p" --tail 1 | checksum)
  check_rc "program $p: linux single precision within float rounding of double" \
    dist/linux/qvwavdiff "$work/linux-$p-d.wav" "$work/linux-$p-s.wav" --max-ulps 1
  if has win64; then
    check "program $p: win64 double output = linux" "$ref" \
      "$(qvhost win64 render "$work/phrase.wav" "$work/win64-$p-d.wav" --program "$p" --double --tail 1 | checksum)"
    check "program $p: win64 single output = linux" "$single" \
      "$(qvhost win64 render "$work/phrase.wav" "$work/win64-$p-s.wav" --program "$p" --tail 1 | checksum)"
  fi
done

echo "--- state files between targets"
# A bank saved on Linux with program 4 current and edited.
qvhost linux state save "$work/linux.fxb" --program 4 --param 5=0.8 --param 4=0.5 >/dev/null
bankref=$(qvhost linux render "$work/phrase.wav" "$work/linux-bank.wav" --load "$work/linux.fxb" --double | checksum)
check "linux: the bank renders as the edited program it was saved with" "$bankref" \
  "$(qvhost linux render "$work/phrase.wav" "$work/linux-edit.wav" --program 4 --param 5=0.8 --param 4=0.5 --double | checksum)"
qvhost linux state save "$work/linux.fxp" --load "$work/linux.fxb" >/dev/null
if has win64; then
  qvhost win64 state save "$work/win64.fxb" --program 4 --param 5=0.8 --param 4=0.5 >/dev/null
  qvhost win64 state save "$work/win64.fxp" --load "$work/linux.fxb" >/dev/null
  check "win64 saves the same bank bytes as linux" "$(sha256sum <"$work/linux.fxb" | cut -c1-16)" \
    "$(sha256sum <"$work/win64.fxb" | cut -c1-16)"
  check "win64 saves the same program bytes as linux" "$(sha256sum <"$work/linux.fxp" | cut -c1-16)" \
    "$(sha256sum <"$work/win64.fxp" | cut -c1-16)"
  check "win64 loads the linux bank" "$bankref" \
    "$(qvhost win64 render "$work/phrase.wav" "$work/w64-bank.wav" --load "$work/linux.fxb" --double | checksum)"
  check "linux loads the win64 program file" "$bankref" \
    "$(qvhost linux render "$work/phrase.wav" "$work/l-w64p.wav" --load "$work/win64.fxp" --double | checksum)"
  check "linux loads the win64 bank, picking program 7" \
    "$(qvhost linux render "$work/phrase.wav" "$work/l-7.wav" --program 7 --double | checksum)" \
    "$(qvhost linux render "$work/phrase.wav" "$work/l-w64b7.wav" --load "$work/win64.fxb" --program 7 --double | checksum)"
fi
if has win32; then
  echo "--- Windows x86: one run (loads the linux bank, saves a program file, renders)"
  t0=$(date +%s)
  w32=$(qvhost win32 render "$work/phrase.wav" "$work/win32-bank.wav" --load "$work/linux.fxb" --double \
        --save "$work/win32.fxp" 2>&1)
  echo "      ($(( $(date +%s) - t0 )) s)"
  check "win32 loads the linux bank and its double output = linux" "$bankref" "$(echo "$w32" | checksum)"
  check "win32 saves the same program bytes as linux" "$(sha256sum <"$work/linux.fxp" | cut -c1-16)" \
    "$(sha256sum <"$work/win32.fxp" 2>/dev/null | cut -c1-16)"
  check "linux loads the win32 program file" "$bankref" \
    "$(qvhost linux render "$work/phrase.wav" "$work/l-w32p.wav" --load "$work/win32.fxp" --double | checksum)"
  has win64 && check "win64 loads the win32 program file" "$bankref" \
    "$(qvhost win64 render "$work/phrase.wav" "$work/w64-w32p.wav" --load "$work/win32.fxp" --double | checksum)"
fi

echo "--- the VST 3 edition against the VST 2.4 library"
declare -A arch=([linux]=x86_64-linux/QVDelay.so [win64]=x86_64-win/QVDelay.vst3 [win32]=x86-win/QVDelay.vst3)
for t in $targets; do
  if [ ! -f "dist/vst3/QVDelay.vst3/Contents/${arch[$t]}" ]; then
    fail=$((fail + 1)); echo "FAIL  dist/vst3/QVDelay.vst3/Contents/${arch[$t]} is missing"; continue
  fi
  if [ "$t" = win32 ]; then
    # One run, as above: the linux bank through the x86 bundle.
    check "win32 VST 3 loads the linux bank and its double output = linux VST 2.4" "$bankref" \
      "$(vst3 win32 render "$work/phrase.wav" "$work/w32-v3.wav" --load "$work/linux.fxb" --double | checksum)"
    continue
  fi
  for p in 3 8; do
    for mode in "--double" "" "--double --tempo 100 --param 7=1"; do
      # shellcheck disable=SC2086
      check "program $p $mode: $t VST 3 output = $t VST 2.4" \
        "$(qvhost "$t" render "$work/phrase.wav" "$work/$t-v2-$p.wav" --program "$p" $mode --tail 1 | checksum)" \
        "$(vst3 "$t" render "$work/phrase.wav" "$work/$t-v3-$p.wav" --program "$p" $mode --tail 1 | checksum)"
    done
  done
  check "$t VST 3 loads the linux VST 2.4 bank" "$bankref" \
    "$(vst3 "$t" render "$work/phrase.wav" "$work/$t-v3-bank.wav" --load "$work/linux.fxb" --double | checksum)"
  vst3 "$t" state save "$work/$t-v3.fxp" --load "$work/linux.fxb" >/dev/null
  check "$t VST 3 saves the program bytes the VST 2.4 library saves" \
    "$(sha256sum <"$work/linux.fxp" | cut -c1-16)" "$(sha256sum <"$work/$t-v3.fxp" | cut -c1-16)"
  check "linux VST 2.4 loads the $t VST 3 program file" "$bankref" \
    "$(qvhost linux render "$work/phrase.wav" "$work/l-$t-v3p.wav" --load "$work/$t-v3.fxp" --double | checksum)"
done

echo "cross-target: $pass passed, $fail failed"
[ $fail -eq 0 ]
