#!/usr/bin/env bash
# The release as users install it: builds a release from dist/ into a
# temporary folder, then installs and removes each download the way a user
# would and checks what lands where.
#   - the Windows installer, silently, into a fresh Wine prefix: files, the
#     uninstall entry, our host loading the installed DLLs, an update over it
#     keeping qvdelay.ini, chosen folders remembered, silent uninstall;
#   - the .deb into a throw-away root (dpkg --root), lintian;
#   - the tarball's install.sh into a temporary HOME and back;
#   - the zip against the installed files, the tarball against the .deb, SHA256SUMS;
#   - controller settings with the plug-in folder on a read-only mount, natively
#     and under Wine.
# Without dist/vst3/QVDelay.vst3 a stand-in bundle is made from the VST 2.4
# binaries under the bundle's names: it only shows that files get placed.
# Prints "release-test: N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
tmp=$(mktemp -d /tmp/qv-release-test.XXXXXX)
pass=0 fail=0
ok() { pass=$((pass + 1)); echo "  ok    $*"; }
bad() { fail=$((fail + 1)); echo "  FAIL  $*"; }
check() { local what=$1; shift; if "$@" >>"$tmp/log" 2>&1; then ok "$what"; else bad "$what (see $tmp/log)"; fi; }
skip() { echo "  skip  $*"; }
same() { cmp -s "$1" "$2"; }
gone() { [ ! -e "$1" ]; }
# File list with checksums of a folder, for comparing two installations.
tree_sums() { (cd "$1" && find . -type f | LC_ALL=C sort | xargs -r -d '\n' sha256sum); }
same_tree() { [ -d "$1" ] && [ -d "$2" ] && [ "$(tree_sums "$1")" = "$(tree_sums "$2")" ]; }

version=$(sed -n 's/^project([^)]* VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
rel="$tmp/release"
mounted=""
wine_prefix="$tmp/wineprefix"
cleanup() {
  [ -z "$mounted" ] || umount "$mounted" 2>/dev/null
  [ ! -d "$wine_prefix" ] || WINEPREFIX="$wine_prefix" timeout 30 wineserver -k 2>/dev/null
  if [ "$fail" -eq 0 ]; then rm -rf "$tmp"; fi
}
trap cleanup EXIT

# --- the release, with a VST 3 bundle -------------------------------------------
bundle="$root/dist/vst3/QVDelay.vst3"
real_bundle=1
if [ ! -d "$bundle" ]; then
  real_bundle=0
  bundle="$tmp/stand-in/QVDelay.vst3"
  echo "release-test: no dist/vst3 bundle; a stand-in made of the VST 2.4 binaries checks only where files go"
  mkdir -p "$bundle/Contents/x86_64-win" "$bundle/Contents/x86-win" "$bundle/Contents/x86_64-linux"
  cp dist/win64/QVDelay64.dll "$bundle/Contents/x86_64-win/QVDelay.vst3"
  cp dist/win32/QVDelay.dll "$bundle/Contents/x86-win/QVDelay.vst3"
  cp dist/linux/QVDelay64.so "$bundle/Contents/x86_64-linux/QVDelay.so"
fi
echo "=== building the release into $rel"
if ! QV_RELEASE_DIR="$rel" QV_VST3_BUNDLE="$bundle" timeout 300 scripts/release.sh >"$tmp/release.log" 2>&1; then
  cat "$tmp/release.log"; bad "scripts/release.sh"; echo "release-test: $pass passed, $fail failed"; exit 1
fi
setup="$rel/QVDelay-$version-windows-setup.exe"
deb="$rel/qvdelay_${version}_amd64.deb"
tarball="$rel/QVDelay-$version-linux-x86_64.tar.gz"
zipfile="$rel/QVDelay-$version-windows.zip"
for f in "$setup" "$zipfile" "$deb" "$tarball" "$rel/QVDelay-$version-guide.pdf" "$rel/guide/index.html" \
         "$rel/guide/editor-annotated.png" "$rel/QVDelay-factory.fxb" "$rel/SHA256SUMS"; do
  check "release holds ${f#"$rel"/}" test -s "$f"
done
check "SHA256SUMS verifies" bash -c "cd '$rel' && sha256sum --quiet -c SHA256SUMS"
check "SHA256SUMS lists every file" bash -c "cd '$rel' && [ \$(find . -type f ! -name SHA256SUMS | wc -l) -eq \$(wc -l <SHA256SUMS) ]"
check "the factory bank loads in our host" dist/linux/qvhost state dist/linux/QVDelay64.so load "$rel/QVDelay-factory.fxb"

# --- Windows installer under Wine ----------------------------------------------------
echo "=== Windows installer in a fresh Wine prefix"
t0=$(date +%s)
# The installer is a 32-bit program: without 32-bit Wine it cannot run here.
if [ -x /usr/lib/wine/wine ]; then
  template=/var/cache/qvdelay/wineprefix
  [ -f "$template/system.reg" ] || template="$root/build/wineprefix"
  cp -a --reflink=auto "$template" "$wine_prefix"
  export WINEPREFIX="$wine_prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  c="$wine_prefix/drive_c"
  pf64="$c/Program Files" pf32="$c/Program Files (x86)"
  app="$pf64/Quorvel Music/Quorvel Brigade Delay"
  vst64="$pf64/VSTPlugins" vst32="$pf32/VSTPlugins" vst3="$pf64/Common Files/VST3/QVDelay.vst3"
  menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvel Brigade Delay"
  appdata_ini="$c/users/$(id -un)/AppData/Roaming/Quorvel Music/Quorvel Brigade Delay/qvdelay.ini"
  # Runs the installer or uninstaller and waits for every program of the prefix
  # (the uninstaller runs from a copy of itself and returns at once).
  win_run() { timeout 300 wine "$@" && timeout 300 wineserver -w; }
  reg_value() {  # KEY VALUE: the value's data from the 64-bit registry
    timeout 60 /usr/lib/wine/wine64 reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
  }
  uninst='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QVDelay'
  emulated_x86=0
  [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || emulated_x86=1

  check "silent install" win_run "$setup" /S
  check "64-bit VST 2.4 DLL in Program Files\\VSTPlugins" same "$vst64/QVDelay64.dll" dist/win64/QVDelay64.dll
  check "32-bit VST 2.4 DLL in Program Files (x86)\\VSTPlugins" same "$vst32/QVDelay.dll" dist/win32/QVDelay.dll
  check "VST 3 bundle in Common Files\\VST3, Windows parts only" bash -c "
    cmp -s '$vst3/Contents/x86_64-win/QVDelay.vst3' '$bundle/Contents/x86_64-win/QVDelay.vst3' &&
    cmp -s '$vst3/Contents/x86-win/QVDelay.vst3' '$bundle/Contents/x86-win/QVDelay.vst3' &&
    [ ! -e '$vst3/Contents/x86_64-linux' ]"
  check "user guide and uninstaller in the program folder" test -s "$app/Guide/QVDelay-$version-guide.pdf" -a -s "$app/Guide/index.html" -a -s "$app/uninstall.exe"
  check "Start menu entries" test -f "$menu/Quorvel Brigade Delay User Guide.lnk" -a -f "$menu/Uninstall Quorvel Brigade Delay.lnk"
  check "uninstall entry: name, version $version, publisher, size" bash -c "
    [ \"\$1\" = 'Quorvel Brigade Delay' ] && [ \"\$2\" = '$version' ] && [ \"\$3\" = 'Quorvel Music' ] && [ \$((\$4)) -gt 500 ]" _ \
    "$(reg_value "$uninst" DisplayName)" "$(reg_value "$uninst" DisplayVersion)" "$(reg_value "$uninst" Publisher)" "$(reg_value "$uninst" EstimatedSize)"
  check "uninstall entry names the uninstaller, quietly too" bash -c '[[ "$1" == *"uninstall.exe"* && "$2" == *"uninstall.exe\" /S" ]]' _ \
    "$(reg_value "$uninst" UninstallString)" "$(reg_value "$uninst" QuietUninstallString)"
  check "qvhost.exe (x86-64) loads the installed 64-bit DLL" bash -c "
    timeout 120 /usr/lib/wine/wine64 dist/win64/qvhost.exe info 'C:\\Program Files\\VSTPlugins\\QVDelay64.dll' | tr -d '\r' |
    grep -Eq '^version +20002' "
  if [ $real_bundle = 1 ]; then
    check "qvhost.exe (x86-64) loads the installed VST 3 bundle" bash -c "
      timeout 120 /usr/lib/wine/wine64 dist/win64/qvhost.exe info 'C:\\Program Files\\Common Files\\VST3\\QVDelay.vst3' |
      tr -d '\r' | grep -Eq '^version +20002' "
  fi
  if [ $emulated_x86 = 0 ]; then
    check "qvhost.exe (x86) loads the installed 32-bit DLL" bash -c "
      timeout 120 wine dist/win32/qvhost.exe info 'C:\\Program Files (x86)\\VSTPlugins\\QVDelay.dll' | tr -d '\r' |
      grep -Eq '^version +20002' "
  else
    skip "x86 host on the installed 32-bit DLL: x86 programs run emulated here (qemu-i386), a minute per start"
  fi

  # An update over it: binaries replaced, settings kept.
  printf '[MIDI Control]\r\nCC7=5\r\n' >"$vst64/qvdelay.ini"
  cp "$vst64/qvdelay.ini" "$vst32/qvdelay.ini"
  mkdir -p "$(dirname "$appdata_ini")" && cp "$vst64/qvdelay.ini" "$appdata_ini"
  echo "an older build" >"$vst64/QVDelay64.dll"
  check "install again over it" win_run "$setup" /S
  check "update replaced the binary" same "$vst64/QVDelay64.dll" dist/win64/QVDelay64.dll
  check "update kept qvdelay.ini in both VST 2 folders" bash -c "grep -q CC7=5 '$vst64/qvdelay.ini' && grep -q CC7=5 '$vst32/qvdelay.ini'"

  check "silent uninstall" win_run "$app/uninstall.exe" /S
  check "uninstall removed plug-ins, bundle, guide, menu, program folder" bash -c "
    [ ! -e '$vst64/QVDelay64.dll' ] && [ ! -e '$vst32/QVDelay.dll' ] && [ ! -e '$vst3' ] &&
    [ ! -e '$app' ] && [ ! -e '$pf64/Quorvel Music' ] && [ ! -e '$menu' ]"
  check "uninstall entry gone" test -z "$(reg_value "$uninst" DisplayVersion)"
  check "a silent uninstall keeps the user's qvdelay.ini files" bash -c "
    grep -q CC7=5 '$vst64/qvdelay.ini' && grep -q CC7=5 '$vst32/qvdelay.ini' && grep -q CC7=5 '$appdata_ini'"

  # Folders chosen on the command line, remembered by the next update; uninstall removing the settings too.
  check "silent install into chosen VST 2 folders" win_run "$setup" /S '/VST2DIR64=C:\VST64' '/VST2DIR32=C:\VST32'
  check "chosen folders used" bash -c "cmp -s '$c/VST64/QVDelay64.dll' dist/win64/QVDelay64.dll && cmp -s '$c/VST32/QVDelay.dll' dist/win32/QVDelay.dll"
  rm -f "$c/VST64/QVDelay64.dll"
  check "update without options" win_run "$setup" /S
  check "update went to the remembered folders" bash -c "[ -f '$c/VST64/QVDelay64.dll' ] && [ ! -e '$vst64/QVDelay64.dll' ]"
  cp "$vst64/qvdelay.ini" "$c/VST64/qvdelay.ini"
  check "silent uninstall with /REMOVESETTINGS" win_run "$app/uninstall.exe" /S /REMOVESETTINGS
  check "everything gone, settings too" bash -c "
    [ ! -e '$c/VST64' ] && [ ! -e '$c/VST32' ] && [ ! -e '$appdata_ini' ] && [ ! -e '$app' ] &&
    ! timeout 60 /usr/lib/wine/wine64 reg query 'HKLM\\Software\\Quorvel Music' >/dev/null 2>&1"

else
  skip "the installer and its uninstaller: 32-bit Wine is not installed on this machine (see build/setup.log)"
fi

# The zip holds exactly what the installer installs.
mkdir -p "$tmp/zip" && (cd "$tmp/zip" && unzip -q "$zipfile")
z="$tmp/zip/QVDelay-$version-windows"
check "zip: 64-bit DLL as installed" same "$z/VST2 64-bit/QVDelay64.dll" dist/win64/QVDelay64.dll
check "zip: 32-bit DLL as installed" same "$z/VST2 32-bit/QVDelay.dll" dist/win32/QVDelay.dll
check "zip: VST 3 bundle as installed" bash -c "win_bundle='$tmp/win-bundle/QVDelay.vst3'; mkdir -p \"\$win_bundle\" &&
  cp -r '$bundle/.' \"\$win_bundle\" && rm -rf \"\$win_bundle/Contents/x86_64-linux\" &&
  [ \"\$(cd '$z/VST3/QVDelay.vst3' && find . -type f | LC_ALL=C sort | xargs -d '\n' sha256sum)\" = \"\$(cd \"\$win_bundle\" && find . -type f | LC_ALL=C sort | xargs -d '\n' sha256sum)\" ]"
check "zip: guide" test -s "$z/QVDelay-$version-guide.pdf"
echo "  (installer tests: $(( $(date +%s) - t0 )) s)"

# --- controller settings on a read-only plug-in folder ------------------------------------
echo "=== settings with the plug-in folder on a read-only mount"
ro="$tmp/readonly-plugins"
mkdir -p "$ro" && printf '[MIDI Control]\r\nCC7=5\r\n' >"$ro/qvdelay.ini"
if mount --bind "$ro" "$ro" 2>/dev/null && { mounted=$ro; mount -o remount,ro,bind "$ro" 2>/dev/null; } && ! touch "$ro/probe" 2>/dev/null; then
  ran_one() { "$@" 2>&1 | tr -d '\r' | tee -a "$tmp/log" | grep -q '^\[  PASSED  \] 1 test\.$'; }
  check "natively: read beside the library, saved per user" ran_one env QV_READONLY_PLUGIN_FOLDER="$ro" \
    timeout 120 build/linux/tests/product/test_product --gtest_filter=ProductSettings.ReadOnlyMountedPluginFolder
  if [ -f build/win64/tests/product/test_product.exe ]; then
    check "under Wine (x86-64): the same" ran_one env QV_READONLY_PLUGIN_FOLDER="Z:$(echo "$ro" | tr / '\\')" \
      timeout 300 /usr/lib/wine/wine64 build/win64/tests/product/test_product.exe --gtest_filter=ProductSettings.ReadOnlyMountedPluginFolder
  else
    skip "under Wine: build/win64/tests/product/test_product.exe is not built"
  fi
else
  skip "read-only mount: this machine does not let us mount one (needs root)"
fi

# --- Debian package -----------------------------------------------------------------
echo "=== Debian package in a throw-away root"
droot="$tmp/dpkg-root"
mkdir -p "$droot/var/lib/dpkg/info" "$droot/var/lib/dpkg/updates" && touch "$droot/var/lib/dpkg/status"
# Maintainer scripts run outside the root (nothing to chroot into); they honour DPKG_ROOT.
dpkg_r() { timeout 120 dpkg --root="$droot" --force-script-chrootless --force-depends --log=/dev/null "$@"; }
check "dpkg -i" dpkg_r -i "$deb"
check ".so in /usr/lib/vst, the deliverable stripped" bash -c "
  strip --strip-unneeded --remove-section=.comment --remove-section=.note -o '$tmp/stripped.so' dist/linux/QVDelay64.so &&
  cmp -s '$tmp/stripped.so' '$droot/usr/lib/vst/QVDelay64.so'"
check "our host loads /usr/lib/vst/QVDelay64.so" bash -c "timeout 60 dist/linux/qvhost info '$droot/usr/lib/vst/QVDelay64.so' | grep -Eq '^version +20002'"
[ $real_bundle = 1 ] && check "our host loads /usr/lib/vst3/QVDelay.vst3" bash -c "timeout 60 dist/linux/qvhost info '$droot/usr/lib/vst3/QVDelay.vst3' | grep -Eq '^version +20002'"
check "VST 3 bundle in /usr/lib/vst3, Linux part only" bash -c "
  [ -s '$droot/usr/lib/vst3/QVDelay.vst3/Contents/x86_64-linux/QVDelay.so' ] && ! ls -d '$droot/usr/lib/vst3/QVDelay.vst3/Contents/'*-win 2>/dev/null"
check "guide and copyright in /usr/share/doc/qvdelay" test -s "$droot/usr/share/doc/qvdelay/guide.pdf" -a -s "$droot/usr/share/doc/qvdelay/copyright"
check "depends on the libraries the .so links" bash -c "dpkg-deb -f '$deb' Depends | grep -q 'libc6 (>=' && dpkg-deb -f '$deb' Depends | grep -q libpng16"
echo "[MIDI Control]" >"$droot/usr/lib/vst/qvdelay.ini"
check "dpkg -r" dpkg_r -r qvdelay
check "removed: package files gone, saved settings kept" bash -c "
  [ ! -e '$droot/usr/lib/vst/QVDelay64.so' ] && [ ! -e '$droot/usr/lib/vst3/QVDelay.vst3/Contents/x86_64-linux/QVDelay.so' ] &&
  [ -f '$droot/usr/lib/vst/qvdelay.ini' ]"
check "dpkg -P" dpkg_r -P qvdelay
check "purged: nothing left under /usr" bash -c "[ -z \"\$(find '$droot/usr' -mindepth 1 ! -type d 2>/dev/null)\" ] && [ ! -e '$droot/usr/lib/vst' ]"
if command -v lintian >/dev/null; then
  check "lintian: no errors or warnings" bash -c "out=\$(timeout 300 lintian --allow-root '$deb' 2>&1); echo \"\$out\"; ! echo \"\$out\" | grep -Eq '^[EW]:'"
else
  skip "lintian is not installed"
fi

# --- tarball ------------------------------------------------------------------------
echo "=== tarball install.sh into a temporary HOME"
home="$tmp/home" && mkdir -p "$home" "$tmp/tar"
tar -C "$tmp/tar" -xzf "$tarball"
t="$tmp/tar/QVDelay-$version-linux-x86_64"
check "install.sh" env HOME="$home" XDG_CONFIG_HOME= timeout 60 "$t/install.sh"
check "~/.vst/QVDelay64.so and ~/.vst3 bundle" bash -c "[ -s '$home/.vst/QVDelay64.so' ] && [ -s '$home/.vst3/QVDelay.vst3/Contents/x86_64-linux/QVDelay.so' ]"
check "our host loads ~/.vst/QVDelay64.so" bash -c "timeout 60 dist/linux/qvhost info '$home/.vst/QVDelay64.so' | grep -Eq '^version +20002'"
[ $real_bundle = 1 ] && check "our host loads ~/.vst3/QVDelay.vst3" bash -c "timeout 60 dist/linux/qvhost info '$home/.vst3/QVDelay.vst3' | grep -Eq '^version +20002'"
mkdir -p "$tmp/deb-x" && dpkg-deb -x "$deb" "$tmp/deb-x"
check "tarball and .deb hold the same plug-in files" bash -c "
  cmp -s '$t/vst/QVDelay64.so' '$tmp/deb-x/usr/lib/vst/QVDelay64.so' &&
  [ \"\$(cd '$t/vst3' && find . -type f | LC_ALL=C sort | xargs -d '\n' sha256sum)\" = \"\$(cd '$tmp/deb-x/usr/lib/vst3' && find . -type f | LC_ALL=C sort | xargs -d '\n' sha256sum)\" ]"
mkdir -p "$home/.config/Quorvel Music/Quorvel Brigade Delay"
echo "[MIDI Control]" >"$home/.vst/qvdelay.ini"
echo "[MIDI Control]" >"$home/.config/Quorvel Music/Quorvel Brigade Delay/qvdelay.ini"
check "install.sh again (update)" env HOME="$home" XDG_CONFIG_HOME= timeout 60 "$t/install.sh"
check "update kept ~/.vst/qvdelay.ini" test -f "$home/.vst/qvdelay.ini"
check "install.sh --uninstall" env HOME="$home" XDG_CONFIG_HOME= timeout 60 "$t/install.sh" --uninstall
check "plug-ins gone, settings kept" bash -c "
  [ ! -e '$home/.vst/QVDelay64.so' ] && [ -z \"\$(find '$home/.vst3' -type f 2>/dev/null)\" ] && [ -f '$home/.vst/qvdelay.ini' ] &&
  [ -f '$home/.config/Quorvel Music/Quorvel Brigade Delay/qvdelay.ini' ]"
check "install.sh --uninstall --purge" env HOME="$home" XDG_CONFIG_HOME= timeout 60 "$t/install.sh" --uninstall --purge
check "nothing left in HOME" bash -c "[ -z \"\$(find '$home' -mindepth 1 ! -path '$home/.config')\" ]"

echo "release-test: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
