#!/usr/bin/env bash
# The main job: builds every deliverable, synthesises a test phrase, renders
# it through each of the ten factory presets with the x86-64 DLL under Wine
# and with the Linux .so, and writes out/ with the renders, the dry phrase, a
# factory bank file, a listening guide and screenshots of the editor. Also
# loads the x86 DLL once and prints its effect record, builds the VST 3
# bundle (dist/vst3/QVDelay.vst3, all three targets) and renders one preset
# through it, which must match the VST 2.4 render to the bit. Last, writes
# what users download into dist/release/ (scripts/release.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
start=$(date +%s)

# QV_BUILD_PREFIX puts the build folders elsewhere under build/ (e.g. "mine-" gives build/mine-linux).
build() {  # PRESET TARGET...
  local preset=$1; shift
  local dir="$root/build/${QV_BUILD_PREFIX:-}$preset"
  echo "=== building $preset"
  cmake --preset "$preset" -B "$dir" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j2 --target "$@" >"$dir.build.log" 2>&1 || { grep -E "error" -A5 "$dir.build.log" | head -40; exit 1; }
}
build linux QVDelayPlugin QVDelayVst3 qvhost qvphrase
build win64 QVDelayPlugin QVDelayVst3 qvhost
build win32 QVDelayPlugin QVDelayVst3 qvhost

# The editor screenshots need an X server (stopped on exit).
source "$root/scripts/xserver.sh"
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p 2>/dev/null || true  # one Wine server for all the renders
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
linux() { dist/linux/qvhost "$1" dist/linux/QVDelay64.so "${@:2}"; }
win64() { scripts/wine-run dist/win64/qvhost.exe "$1" dist/win64/QVDelay64.dll "${@:2}"; }

echo
echo "=== Linux x86-64: dist/linux/QVDelay64.so"
linux info
echo
echo "=== Windows x86-64 under Wine: dist/win64/QVDelay64.dll"
win64 info
echo
echo "=== Windows x86 under Wine: dist/win32/QVDelay.dll (32-bit Wine may be emulated here: allow a minute)"
scripts/wine-run dist/win32/qvhost.exe info dist/win32/QVDelay.dll

# The program names as the plug-in reports them, for the file names.
mapfile -t names < <(linux info | sed -n '/^programs:/,/^$/s/^  [0-9]*  //p')
[ ${#names[@]} -eq 10 ] || { echo "expected 10 programs, the plug-in reports ${#names[@]}"; exit 1; }

rm -rf out
mkdir -p out/linux out/win64
echo
echo "=== test phrase"
dist/linux/qvphrase out/phrase.wav
# Seconds of silence after the phrase, per preset: long enough for the echoes
# to fall below about -60 dBFS, except the comb resonator's drone, which
# decays by only 2-3 dB a second and would need half a minute.
tails=(2 2 2 2 2 2 8 2 3 10)
echo
echo "=== rendering the phrase through each factory preset (tails of 2 to 10 s)"
files=()
for i in "${!names[@]}"; do
  tail=${tails[$i]}
  slug=$(printf '%02d-%s' "$i" "$(echo "${names[$i]}" | tr 'A-Z' 'a-z' | tr -cs 'a-z0-9' '-' | sed 's/-$//')")
  files+=("$slug.wav")
  linux render out/phrase.wav "out/linux/$slug.wav" --program "$i" --tail "$tail" >"out/linux/$slug.log"
  win64 render out/phrase.wav "out/win64/$slug.wav" --program "$i" --tail "$tail" >"out/win64/$slug.log"
  peak=$(sed -n 's/.*peak \([^ ]* dBFS\).*/\1/p' "out/linux/$slug.log")
  same=$(cmp -s "out/linux/$slug.wav" "out/win64/$slug.wav" && echo "Linux and Win64 renders identical" || echo "Linux and Win64 renders DIFFER")
  printf '  %-24s tail %2s s  peak %-11s %s\n' "$slug" "$tail" "$peak" "$same"
  rm "out/linux/$slug.log" "out/win64/$slug.log"
done
linux state save out/QVDelay-factory.fxb >/dev/null

echo
echo "=== the VST 3 edition: dist/vst3/QVDelay.vst3"
find dist/vst3/QVDelay.vst3 -type f | sort | sed 's/^/  /'
mkdir -p out/vst3
slug=${files[8]%.wav}
for t in linux win64; do
  if [ $t = linux ]; then
    dist/linux/qvhost render dist/vst3/QVDelay.vst3 out/phrase.wav "out/vst3/$t-$slug.wav" --program 8 --tail "${tails[8]}" >/dev/null
  else
    scripts/wine-run dist/win64/qvhost.exe render dist/vst3/QVDelay.vst3 out/phrase.wav "out/vst3/$t-$slug.wav" \
      --program 8 --tail "${tails[8]}" >/dev/null
  fi
  if cmp -s "out/vst3/$t-$slug.wav" "out/$t/$slug.wav"; then
    echo "  $t: $slug through the VST 3 bundle matches the VST 2.4 render bit for bit"
  else
    echo "  $t: $slug through the VST 3 bundle DIFFERS from the VST 2.4 render"; exit 1
  fi
done

echo
echo "=== editor screenshots"
# The default state through the Win64 DLL (the product as Windows hosts show
# it), then delay sync at "2/1": 4 s at 120 BPM, longer than the line holds,
# so the read-out turns to the warning colour and the range selector dims.
win64 editor out/editor.png
win64 editor out/editor-sync.png --param 7=1 --param 1=1
# The same panel at 200 %, drawn from its own artwork, as on a 4K screen.
win64 editor out/editor@2x.png --scale 2
linux editor out/linux/editor.png

cat >out/LISTENING.md <<GUIDE
# Listening guide

\`phrase.wav\` is the dry input: four bars at 120 BPM, a plucked-string
arpeggio (A minor, F, C, G) over kick, snare and hi-hats, synthesised by
\`tools/phrase\`. The last bar is a single strum and kick followed by
silence, so echoes, resonances and tails are heard on their own. It peaks at
-6 dBFS to leave room for the resonant presets.

\`linux/\` holds the renders through \`dist/linux/QVDelay64.so\`, \`win64/\` the
same renders through \`dist/win64/QVDelay64.dll\` under Wine: the same code,
so the files are identical. Each is the phrase through one factory preset,
with a tail of silence long enough for its echoes to die away (the tail
column), as 32-bit float WAV (some presets peak above the input).
\`QVDelay-factory.fxb\` is the factory bank as a preset bank file any VST 2
host can load.

| file | preset | tail | what to listen for |
|---|---|---|---|
| ${files[0]} | ${names[0]} | ${tails[0]} s | the plug-in's own starting settings: one plain echo about 325 ms behind the dry sound, half wet, and no repeats (Feedback 0 %). A fresh instance keeps its live settings in the current program, 0, so this is not the stored "default" program's 40 % feedback; that one is heard when a host switches to program 0 from another |
| ${files[1]} | ${names[1]} | ${tails[1]} s | gentle flanging: a 1-8 ms delay swept slowly (about 3.4 s per cycle) with a little negative feedback; a soft "jet" moving through the hi-hats and the strum |
| ${files[2]} | ${names[2]} | ${tails[2]} s | the same sweep with 80 % feedback and a darker filter: a hard, metallic, pitched whoosh that rises and falls about every 4.6 s, loudest on the snare and hats |
| ${files[3]} | ${names[3]} | ${tails[3]} s | chorus: a 15 ms delay wobbling slightly at about 1.2 Hz; the plucks sound thicker and faintly detuned, no audible echo |
| ${files[4]} | ${names[4]} | ${tails[4]} s | stronger chorus: deeper, faster wobble (1.5 Hz) with some feedback; the sustained strum at the end sways noticeably in pitch |
| ${files[5]} | ${names[5]} | ${tails[5]} s | slapback: one short (about 90 ms), darker echo tight behind every hit and a faint second one, the classic rockabilly doubling |
| ${files[6]} | ${names[6]} | ${tails[6]} s | long, dark repeats (about 430 ms) with 75 % feedback that pile up into a wash; the tail goes on well after the phrase ends |
| ${files[7]} | ${names[7]} | ${tails[7]} s | vibrato: fully wet, no echo, the pitch of everything wavers about 5 times a second |
| ${files[8]} | ${names[8]} | ${tails[8]} s | tape echo: a 500 ms repeat, on the beat at 120 BPM, darker with each pass, with a slight slow pitch drift (wow) from the LFO |
| ${files[9]} | ${names[9]} | ${tails[9]} s | comb resonance: a 24 ms delay with 96 % feedback rings at about 41 Hz and its harmonics; the drums turn into metallic, pitched drones that decay slowly, by 2-3 dB a second: the file ends with the drone still audible, near -30 dBFS |
GUIDE

echo
scripts/release.sh

echo
echo "=== done in $(( $(date +%s) - start ))s"
echo "Plug-ins:      dist/win64/QVDelay64.dll, dist/win32/QVDelay.dll, dist/linux/QVDelay64.so"
echo "VST 3 bundle:  dist/vst3/QVDelay.vst3 (x86_64-win, x86-win, x86_64-linux); out/vst3/ its render of preset 8"
echo "Host:          dist/<target>/qvhost[.exe] (info, render, state, editor)"
echo "Dry phrase:    out/phrase.wav"
echo "Renders:       out/linux/*.wav (Linux .so), out/win64/*.wav (Win64 DLL under Wine)"
echo "Factory bank:  out/QVDelay-factory.fxb"
echo "Guide:         out/LISTENING.md"
echo "Editor:        out/editor.png, out/editor-sync.png, out/editor@2x.png (200 %) (Win64 DLL under Wine), out/linux/editor.png (X11)"
echo "Release:       dist/release/ (Windows installer and zip, .deb, tarball, user guide, factory bank, SHA256SUMS)"
