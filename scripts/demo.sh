#!/usr/bin/env bash
# The main job: builds every deliverable, synthesises a test phrase, renders
# it through each of the ten factory presets with the x86-64 DLL under Wine
# and with the Linux .so, and writes out/ with the renders, the dry phrase, a
# factory bank file and a listening guide. Also loads the x86 DLL once and
# prints its effect record.
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
build linux QVDelayPlugin qvhost qvphrase
build win64 QVDelayPlugin qvhost
build win32 QVDelayPlugin qvhost

export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p 2>/dev/null || true  # one Wine server for all the renders
trap 'wineserver -k 2>/dev/null || true' EXIT
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
tail=3
echo
echo "=== rendering the phrase through each factory preset (+${tail} s tail)"
files=()
for i in "${!names[@]}"; do
  slug=$(printf '%02d-%s' "$i" "$(echo "${names[$i]}" | tr 'A-Z' 'a-z' | tr -cs 'a-z0-9' '-' | sed 's/-$//')")
  files+=("$slug.wav")
  linux render out/phrase.wav "out/linux/$slug.wav" --program "$i" --tail "$tail" >"out/linux/$slug.log"
  win64 render out/phrase.wav "out/win64/$slug.wav" --program "$i" --tail "$tail" >"out/win64/$slug.log"
  peak=$(sed -n 's/.*peak \([^ ]* dBFS\).*/\1/p' "out/linux/$slug.log")
  same=$(cmp -s "out/linux/$slug.wav" "out/win64/$slug.wav" && echo "Linux and Win64 renders identical" || echo "Linux and Win64 renders DIFFER")
  printf '  %-24s peak %-11s %s\n' "$slug" "$peak" "$same"
  rm "out/linux/$slug.log" "out/win64/$slug.log"
done
linux state save out/QVDelay-factory.fxb >/dev/null

cat >out/LISTENING.md <<GUIDE
# Listening guide

\`phrase.wav\` is the dry input: four bars at 120 BPM, a plucked-string
arpeggio (A minor, F, C, G) over kick, snare and hi-hats, synthesised by
\`tools/phrase\`. The last bar is a single strum and kick followed by
silence, so echoes, resonances and tails are heard on their own. It peaks at
-6 dBFS to leave room for the resonant presets.

\`linux/\` holds the renders through \`dist/linux/QVDelay64.so\`, \`win64/\` the
same renders through \`dist/win64/QVDelay64.dll\` under Wine: the same code,
so the files are identical. Each is the phrase through one factory preset
with ${tail} s of tail, as 32-bit float WAV (some presets peak above the input).
\`QVDelay-factory.fxb\` is the factory bank as a preset bank file any VST 2
host can load.

| file | preset | what to listen for |
|---|---|---|
| ${files[0]} | ${names[0]} | a plain echo about 325 ms behind the dry sound, half wet, each repeat 40 % of the last: hear it count down after the final strum |
| ${files[1]} | ${names[1]} | gentle flanging: a 1-8 ms delay swept slowly (about 3.4 s per cycle) with a little negative feedback; a soft "jet" moving through the hi-hats and the strum |
| ${files[2]} | ${names[2]} | the same sweep with 80 % feedback and a darker filter: a hard, metallic, pitched whoosh that rises and falls about every 4.6 s, loudest on the snare and hats |
| ${files[3]} | ${names[3]} | chorus: a 15 ms delay wobbling slightly at about 1.2 Hz; the plucks sound thicker and faintly detuned, no audible echo |
| ${files[4]} | ${names[4]} | stronger chorus: deeper, faster wobble (1.5 Hz) with some feedback; the sustained strum at the end sways noticeably in pitch |
| ${files[5]} | ${names[5]} | slapback: one short (about 90 ms), darker echo tight behind every hit and a faint second one, the classic rockabilly doubling |
| ${files[6]} | ${names[6]} | long, dark repeats (about 430 ms) with 75 % feedback that pile up into a wash; the tail goes on well after the phrase ends |
| ${files[7]} | ${names[7]} | vibrato: fully wet, no echo, the pitch of everything wavers about 5 times a second |
| ${files[8]} | ${names[8]} | tape echo: a 500 ms repeat, on the beat at 120 BPM, darker with each pass, with a slight slow pitch drift (wow) from the LFO |
| ${files[9]} | ${names[9]} | comb resonance: a 24 ms delay with 96 % feedback rings at about 41 Hz and its harmonics; the drums turn into metallic, pitched drones that decay slowly |
GUIDE

echo
echo "=== done in $(( $(date +%s) - start ))s"
echo "Plug-ins:      dist/win64/QVDelay64.dll, dist/win32/QVDelay.dll, dist/linux/QVDelay64.so"
echo "Host:          dist/<target>/qvhost[.exe] (info, render, state)"
echo "Dry phrase:    out/phrase.wav"
echo "Renders:       out/linux/*.wav (Linux .so), out/win64/*.wav (Win64 DLL under Wine)"
echo "Factory bank:  out/QVDelay-factory.fxb"
echo "Guide:         out/LISTENING.md"
echo "(No editor screenshot yet: the editor is not built.)"
