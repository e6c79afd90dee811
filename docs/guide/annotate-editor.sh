#!/usr/bin/env bash
# Numbers the editor's controls on a copy of a screenshot of the real build,
# twice the size so the numbers stay legible in print:
#   annotate-editor.sh IN.png OUT.png
# The numbers are those of the guide's table; the points sit at the top-left
# of each control as laid out in product/editor/QVDelayEditor.cpp.
set -euo pipefail
in=$1 out=$2
size=$(identify -format '%wx%h' "$in")
[ "$size" = "683x174" ] || { echo "annotate-editor: $in is $size, not the 683x174 editor" >&2; exit 1; }
badges=(
  "1 12 14"     # preset menu
  "2 514 14"    # online menu
  "3 16 98"     # range selector
  "4 80 96"     # delay sync switch
  "5 118 100"   # time
  "6 184 100"   # feedback
  "7 272 100"   # LFO speed
  "8 330 96"    # LFO sync switch
  "9 370 100"   # LFO depth
  "10 458 100"  # mix
  "11 524 100"  # quality
  "12 596 84"   # LEARN / UNLEARN
  "13 596 112"  # save config
  "14 596 140"  # FREEZE
)
draw=()
for b in "${badges[@]}"; do
  read -r n x y <<<"$b"
  cx=$((x * 2)) cy=$((y * 2))
  draw+=(-fill '#e8401c' -stroke white -strokewidth 2 -draw "circle $cx,$cy $((cx + 15)),$cy")
  draw+=(-stroke none -fill white -annotate "+$((cx - (n > 9 ? 11 : 6)))+$((cy + 7))" "$n")
done
convert "$in" -filter point -resize 200% -font DejaVu-Sans-Bold -pointsize 19 "${draw[@]}" "$out"
