#!/usr/bin/env bash
# Writes what users download into dist/release/, from the deliverables the
# builds put into dist/ (and the editor screenshot and factory bank of the
# main job in out/):
#   QVDelay-<v>-windows-setup.exe   installer for 64- and 32-bit Windows (NSIS)
#   QVDelay-<v>-windows.zip         the same files for manual installation
#   qvdelay_<v>_amd64.deb           Debian package: /usr/lib/vst, /usr/lib/vst3
#   QVDelay-<v>-linux-x86_64.tar.gz the same with install.sh for ~/.vst, ~/.vst3
#   QVDelay-<v>-guide.pdf, guide/   the user guide
#   QVDelay-factory.fxb             the factory bank
#   SHA256SUMS
# The VST 3 bundle dist/vst3/QVDelay.vst3 is carried whenever it exists
# (QV_VST3_BUNDLE names another one). QV_RELEASE_DIR writes elsewhere.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The version lives in one place: the project's version in CMakeLists.txt.
version=$(sed -n 's/^project([^)]* VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no project VERSION in CMakeLists.txt" >&2; exit 1; }
IFS=. read -r major minor patch <<<"$version"

rel=${QV_RELEASE_DIR:-$root/dist/release}
bundle=${QV_VST3_BUNDLE:-$root/dist/vst3/QVDelay.vst3}
for f in dist/win64/QVDelay64.dll dist/win32/QVDelay.dll dist/linux/QVDelay64.so dist/linux/qvhost; do
  [ -f "$f" ] || { echo "release: $f is missing; build it first (scripts/demo.sh builds everything)" >&2; exit 1; }
done
# The built plug-in must call itself what the file names say.
built=$(dist/linux/qvhost info dist/linux/QVDelay64.so | awk '$1 == "version" { print $2 }')
[ "$built" = "$((major * 10000 + minor * 100 + patch))" ] ||
  { echo "release: the plug-in reports version $built, CMakeLists.txt says $version" >&2; exit 1; }
have_vst3=0
if [ -d "$bundle" ]; then have_vst3=1; else echo "release: no VST 3 bundle at $bundle; releasing the VST 2.4 plug-ins only"; fi

rm -rf "$rel"
mkdir -p "$rel" "$root/build"
# A staging folder of its own, so a test's release and the main job's can run at once.
stage=$(mktemp -d "$root/build/release-stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
# Timestamps inside the archives: the last commit's, so a rebuild gives the same files.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}

echo "=== release $version: user guide"
editor=out/editor.png
[ -f "$editor" ] || editor=docs/editor.png
docs/guide/build.sh "$version" "$editor" "$rel/guide" "$rel/QVDelay-$version-guide.pdf"

echo "=== factory bank"
if [ -f out/QVDelay-factory.fxb ]; then
  cp out/QVDelay-factory.fxb "$rel/"
else
  dist/linux/qvhost state dist/linux/QVDelay64.so save "$rel/QVDelay-factory.fxb" >/dev/null
fi

# --- Windows: installer and zip --------------------------------------------------
echo "=== Windows installer and zip"
win="$stage/windows"
mkdir -p "$win/win64" "$win/win32" "$win/guide"
cp dist/win64/QVDelay64.dll "$win/win64/"
cp dist/win32/QVDelay.dll "$win/win32/"
cp -r "$rel/guide/." "$win/guide/"
cp "$rel/QVDelay-$version-guide.pdf" "$win/guide/"
nsis_defs=(-DVERSION="$version" -DSTAGE="$win" -DOUTFILE="$rel/QVDelay-$version-windows-setup.exe")
if [ $have_vst3 = 1 ]; then
  mkdir -p "$win/vst3"
  # Windows hosts need only the Windows parts of the bundle.
  cp -r "$bundle" "$win/vst3/"
  rm -rf "$win/vst3/QVDelay.vst3/Contents/x86_64-linux"
  nsis_defs+=(-DHAVE_VST3)
fi
makensis -V2 -NOCD "${nsis_defs[@]}" packaging/windows/QVDelay.nsi

zipdir="$stage/zip/QVDelay-$version-windows"
mkdir -p "$zipdir/VST2 64-bit" "$zipdir/VST2 32-bit"
cp "$win/win64/QVDelay64.dll" "$zipdir/VST2 64-bit/"
cp "$win/win32/QVDelay.dll" "$zipdir/VST2 32-bit/"
[ $have_vst3 = 0 ] || cp -r "$win/vst3" "$zipdir/VST3"
cp "$rel/QVDelay-$version-guide.pdf" "$rel/QVDelay-factory.fxb" "$zipdir/"
sed "s/@VERSION@/$version/g" packaging/windows/README.txt | sed 's/$/\r/' >"$zipdir/README.txt"
find "$stage/zip" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$stage/zip" && find "QVDelay-$version-windows" | LC_ALL=C sort | zip -q -X -@ "$rel/QVDelay-$version-windows.zip")

# --- Linux: Debian package and tarball ----------------------------------------------
echo "=== Debian package and tarball"
# Stripped as Debian ships libraries; the tarball gets the very same files.
lin="$stage/linux"
mkdir -p "$lin/vst"
strip --strip-unneeded --remove-section=.comment --remove-section=.note -o "$lin/vst/QVDelay64.so" dist/linux/QVDelay64.so
chmod 0644 "$lin/vst/QVDelay64.so"
if [ $have_vst3 = 1 ] && [ -d "$bundle/Contents/x86_64-linux" ]; then
  mkdir -p "$lin/vst3"
  cp -r "$bundle" "$lin/vst3/"
  rm -rf "$lin/vst3/QVDelay.vst3/Contents/"*-win
  for so in "$lin/vst3/QVDelay.vst3/Contents/x86_64-linux/"*.so; do
    strip --strip-unneeded --remove-section=.comment --remove-section=.note "$so"
    chmod 0644 "$so"
  done
fi

deb="$stage/deb"
doc="$deb/usr/share/doc/qvdelay"
mkdir -p "$deb/DEBIAN" "$deb/usr/lib/vst" "$doc"
cp "$lin/vst/QVDelay64.so" "$deb/usr/lib/vst/"
[ ! -d "$lin/vst3" ] || { mkdir -p "$deb/usr/lib/vst3" && cp -r "$lin/vst3/QVDelay.vst3" "$deb/usr/lib/vst3/"; }
sed "s/@YEAR@/$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y)/" packaging/debian/copyright.in >"$doc/copyright"
sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$(date -R -u -d "@$SOURCE_DATE_EPOCH")/" packaging/debian/changelog.in |
  gzip -9n >"$doc/changelog.gz"
cp "$rel/QVDelay-$version-guide.pdf" "$doc/guide.pdf"
cp -r "$rel/guide" "$doc/html"
install -m 0755 packaging/debian/postrm "$deb/DEBIAN/postrm"
# The libraries the plug-ins link against, as Debian's own tool names them.
shlib="$stage/shlibdeps"
mkdir -p "$shlib/debian"
printf 'Source: qvdelay\n\nPackage: qvdelay\nArchitecture: amd64\n' >"$shlib/debian/control"
depends=$(cd "$shlib" && dpkg-shlibdeps -O $(find "$deb/usr/lib" -name '*.so') 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "release: dpkg-shlibdeps named no dependencies" >&2; exit 1; }
size=$(du -sk --exclude=DEBIAN "$deb" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" packaging/debian/control.in >"$deb/DEBIAN/control"
find "$deb" -type d -exec chmod 0755 {} +
find "$deb/usr" -type f -exec chmod 0644 {} +
find "$deb" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz --build "$deb" "$rel/qvdelay_${version}_amd64.deb" >/dev/null

tardir="$stage/tar/QVDelay-$version-linux-x86_64"
mkdir -p "$tardir"
cp -r "$lin/." "$tardir/"
install -m 0755 packaging/linux/install.sh "$tardir/install.sh"
cp "$rel/QVDelay-$version-guide.pdf" "$rel/QVDelay-factory.fxb" "$tardir/"
tar -C "$stage/tar" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
  -cf - "QVDelay-$version-linux-x86_64" | gzip -9n >"$rel/QVDelay-$version-linux-x86_64.tar.gz"

if command -v lintian >/dev/null; then
  echo "=== lintian"
  lintian --allow-root --tag-display-limit 0 "$rel/qvdelay_${version}_amd64.deb" || true
fi

# --- checksums -------------------------------------------------------------------
(cd "$rel" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum >SHA256SUMS)
echo "=== release written to ${rel#"$root"/}/"
(cd "$rel" && ls -l --time-style=+ -- *.exe *.zip *.deb *.tar.gz *.pdf *.fxb SHA256SUMS | awk '{ printf "  %-40s %9d bytes\n", $NF, $5 }')
