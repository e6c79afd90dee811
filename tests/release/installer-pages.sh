#!/usr/bin/env bash
# Walks through the Windows installer's pages and the uninstaller under Wine
# on a virtual screen of its own, saving a screenshot of each page, so they
# can be looked at:   installer-pages.sh SETUP.exe OUT-FOLDER [win32]
# "win32" uses a fresh 32-bit Windows prefix (made here, which takes a while)
# to show what 32-bit Windows is offered. Not part of the test command.
set -euo pipefail
setup=$(realpath "$1") out=$2 arch=${3:-win64}
mkdir -p "$out"
tmp=$(mktemp -d /tmp/qv-installer-pages.XXXXXX)
export WINEPREFIX="$tmp/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$arch" = win32 ]; then
  WINEARCH=win32 timeout 600 wineboot --init >/dev/null 2>&1; timeout 300 wineserver -w
else
  cp -a --reflink=auto /var/cache/qvdelay/wineprefix "$WINEPREFIX"
fi
Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
export DISPLAY=:77
sleep 2
shot() { sleep "${2:-2}"; import -window root "$out/$1.png"; echo "  $out/$1.png"; }
wait_window() { for _ in $(seq 60); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 1; done; return 1; }
next() { xdotool key --clearmodifiers Return; }

timeout 600 wine "$setup" &
wait_window "Quorvel Brigade Delay" || { echo "no installer window"; exit 1; }
shot "$arch-1-welcome" 3; next
shot "$arch-2-components"; next
shot "$arch-3-vst2-folder-a"; next
shot "$arch-4-vst2-folder-b"; next
shot "$arch-5-after-install" 6; next
sleep 3
if [ "$arch" = win32 ]; then pf="$WINEPREFIX/drive_c/Program Files"; else pf="$WINEPREFIX/drive_c/Program Files"; fi
find "$WINEPREFIX/drive_c" -path '*VST*' -name 'QVDelay*' | sed "s|$WINEPREFIX/drive_c|  installed: C:|" || true
un=$(find "$WINEPREFIX/drive_c" -name uninstall.exe -path '*Quorvel*' | head -n1)
[ -n "$un" ] || { echo "no uninstaller"; exit 1; }
timeout 600 wine "$un" &
wait_window "Uninstall" || wait_window "Quorvel Brigade Delay"
shot "$arch-6-uninstall-confirm" 3; next
shot "$arch-7-uninstall-settings-question" 3
xdotool key --clearmodifiers Return   # the default answer: No, keep them
shot "$arch-8-uninstall-done" 4
find "$WINEPREFIX/drive_c" -name 'qvdelay*' -o -path '*VST*' -name 'QVDelay*' | sed "s|$WINEPREFIX/drive_c|  left: C:|" || true
