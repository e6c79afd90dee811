#!/usr/bin/env bash
# The main job: builds the three plug-in libraries and the command-line host,
# then loads each library the way a host does and prints its effect record.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh

for preset in linux win64 win32; do
  echo "=== building $preset"
  cmake --preset "$preset" >"$root/build/$preset.configure.log" 2>&1 || { cat "$root/build/$preset.configure.log"; exit 1; }
  cmake --build "$root/build/$preset" -j2 --target QVDelayPlugin qvhost >"$root/build/$preset.build.log" 2>&1 ||
    { grep -E "error" -A5 "$root/build/$preset.build.log" | head -40; exit 1; }
done

export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo
echo "=== Linux x86-64: dist/linux/QVDelay64.so"
dist/linux/qvhost info dist/linux/QVDelay64.so
echo
echo "=== Windows x86-64 under Wine: dist/win64/QVDelay64.dll"
scripts/wine-run dist/win64/qvhost.exe info dist/win64/QVDelay64.dll
echo
echo "=== Windows x86 under Wine: dist/win32/QVDelay.dll (32-bit Wine may be emulated here: allow a minute)"
scripts/wine-run dist/win32/qvhost.exe info dist/win32/QVDelay.dll
echo
echo "Plug-ins: dist/win64/QVDelay64.dll, dist/win32/QVDelay.dll, dist/linux/QVDelay64.so"
