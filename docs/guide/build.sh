#!/usr/bin/env bash
# Builds the user guide from guide.md: HTML with its pictures, and a PDF.
#   build.sh VERSION EDITOR.png HTML-FOLDER OUT.pdf
# EDITOR.png is a screenshot of the real editor (the main job's out/editor.png);
# its controls are numbered on a copy.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
version=$1 editor=$2 html=$3 pdf=$4
mkdir -p "$html"
"$here/annotate-editor.sh" "$editor" "$html/editor-annotated.png"
cp "$here/guide.css" "$html/guide.css"
sed "s/@VERSION@/$version/g" "$here/guide.md" |
  pandoc --from markdown --to html5 --standalone --toc --toc-depth=2 \
    --css guide.css --metadata title="Quorvel Brigade Delay $version" \
    --metadata subtitle="User guide" --metadata lang=en -o "$html/index.html"
# WeasyPrint resolves the pictures and the style sheet next to the page.
weasyprint --quiet "$html/index.html" "$pdf" 2>/dev/null || weasyprint "$html/index.html" "$pdf"
