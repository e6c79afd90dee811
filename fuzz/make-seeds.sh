#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets in DIR (default build/linux-fuzz/corpus):
# chunks and host-call scripts from our own code (SEED-MAKER, built with the
# fuzz targets), our PNG artwork whole and cut short, settings files and
# version-check answers written out here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/linux-fuzz/corpus}
maker=${2:-$root/build/linux-fuzz/fuzz/qv_fuzz_seeds}
mkdir -p "$out"/{chunk,settings,png,version,sequence,vst3state,vst3sequence}
"$maker" "$out/chunk" "$out/sequence"

# A VST 3 state is our program chunk: the chunk seeds without their selector
# byte, and the bank seeds inside a VST 2 bank stream as hosts hand it over.
for f in "$out"/chunk/*; do
  b=$(basename "$f")
  tail -c +2 "$f" >"$out/vst3state/$b"
  n=$(( $(stat -c %s "$f") - 1 ))
  be() { printf "\\$(printf %03o $(( ($1 >> 24) & 255 )))\\$(printf %03o $(( ($1 >> 16) & 255 )))\\$(printf %03o $(( ($1 >> 8) & 255 )))\\$(printf %03o $(( $1 & 255 )))"; }
  { printf 'VstW'; be 8; be 1; be 0; printf 'CcnK'; be $((n + 152)); printf 'FBCh'; be 2; printf 'qvbd'; be 20002; be 10; be 3
    head -c 124 /dev/zero; be "$n"; tail -c +2 "$f"; } >"$out/vst3state/$b-fbch"
done
s3=$out/vst3sequence
printf '\000\001\003\002\200\004\005\006\007\010' >"$s3/setup-process"
printf '\000\003\000\002\377\007\001\012\002\040\003\011\377\005\006\200\002\100' >"$s3/program-midi"
printf '\011\001\000\004\001\002\020\004\013\377\012\377\010\007\001\001' >"$s3/mono-doubles"

for f in "$root"/resources/img/*.png; do
  b=$(basename "$f" .png)
  cp "$f" "$out/png/$b.png"
  head -c 100 "$f" >"$out/png/$b-cut100"
  head -c "$(( $(stat -c %s "$f") / 2 ))" "$f" >"$out/png/$b-half"
done

s=$out/settings
printf '[MIDI Control]\r\nCC7=5\r\nCC1=-12\r\nCC64=0\r\n' >"$s/typical"
printf '[MIDI Control]\nCC0=8\nCC119=3\n[Other]\nCC0=1\n' >"$s/two-sections"
printf '; comment\n[midi control]\n  CC10 = 4  \nCC11=\nCC12=99999999999\n' >"$s/odd-spacing"
printf '[MIDI Control]\nCC5=1\n[MIDI Control]\nCC5=2\n' >"$s/repeated"
printf '[MIDI Control' >"$s/unclosed"

v=$out/version
for body in 2002 2003 2010 3000 1999 '2003\r\n' ' 2003' 99999999999999999999 '<html>' '' 20 2; do
  printf "\\001$body" >"$v/$(printf '%s' "$body" | tr -c 'A-Za-z0-9' _)-yes"
  printf "\\000$body" >"$v/$(printf '%s' "$body" | tr -c 'A-Za-z0-9' _)-no"
done
echo "seeds in $out"
