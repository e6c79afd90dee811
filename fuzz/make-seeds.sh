#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets in DIR (default build/linux-fuzz/corpus):
# chunks and host-call scripts from our own code (SEED-MAKER, built with the
# fuzz targets), our PNG artwork whole and cut short, settings files and
# version-check answers written out here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/linux-fuzz/corpus}
maker=${2:-$root/build/linux-fuzz/fuzz/qv_fuzz_seeds}
mkdir -p "$out"/{chunk,settings,png,version,sequence}
"$maker" "$out/chunk" "$out/sequence"

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
