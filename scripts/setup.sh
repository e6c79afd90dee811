#!/usr/bin/env bash
# Makes a fresh Debian 12 machine ready to build and test every target.
# Run as root. Idempotent: a second run only checks and takes seconds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"
log="$root/build/setup.log"
mkdir -p "$root/build"

say() { printf 'setup: %s\n' "$*"; }
quiet() { "$@" >>"$log" 2>&1 || { say "failed: $*  (see $log)"; tail -n 40 "$log" >&2; exit 1; }; }
# A mirror in the middle of a sync serves index files that fail their checksums
# for a minute or so: try again, then go on with what did arrive, so that the
# install step names any package that is really missing.
apt_update() {
  local try
  for try in 1 2 3; do
    apt-get update >>"$log" 2>&1 && return 0
    say "apt-get update failed (try $try of 3); waiting for the mirror"
    sleep $((try * 10))
  done
  say "WARNING: apt-get update failed three times; going on with the package lists there are (see $log)"
}

still_missing=()
packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  libpng-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libfontconfig-dev fontconfig fonts-liberation fonts-dejavu-core libx11-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
  wine wine64 wine32:i386 qemu-user-static xvfb xauth sox xdotool x11-apps
  clang libclang-rt-14-dev
  nsis lintian zip unzip pandoc weasyprint imagemagick poppler-utils
)

# --- apt packages -----------------------------------------------------------
if [ "$(id -u)" -eq 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture (for 32-bit Wine)"
    dpkg --add-architecture i386
    apt_update
  fi
  missing=()
  still_missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${#missing[@]} packages"
    export DEBIAN_FRONTEND=noninteractive
    apt_update
    if ! apt-get install -y --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
      # A mirror short of one architecture's index must not hold back the rest:
      # install what can be had, then fail on what is still missing.
      say "installing all at once failed; trying each package (see $log)"
      for p in "${missing[@]}"; do
        apt-get install -y --no-install-recommends "$p" >>"$log" 2>&1 || still_missing+=("$p")
      done
    fi
  fi
else
  say "not root: skipping package installation"
fi

# --- deb-src entry derived from the machine's own Debian sources -----------
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
srclist=/etc/apt/sources.list.d/qvdelay-deb-src.sources
need_src=0
for t in x86_64-w64-mingw32 i686-w64-mingw32; do
  [ -f "$deps/$t/lib/libpng16.a" ] && [ -f "$deps/$t/lib/libz.a" ] || need_src=1
done
if [ $need_src -eq 1 ] && [ ! -f "$srclist" ] && [ "$(id -u)" -eq 0 ]; then
  say "adding source entries for the configured Debian archives"
  # Copy every deb822 stanza that serves this release, as deb-src.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ "$f" = "$srclist" ] && continue
    awk -v rel="$codename" '
      BEGIN { RS=""; ORS="\n\n" }
      $0 ~ ("Suites:[^\n]*" rel) && $0 ~ /Types:[^\n]*deb/ {
        sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
  done >"$srclist.tmp"
  # One-line sources.list entries, too.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v rel="$codename" '$1=="deb" && $0 ~ rel { $1="deb-src"; print }' "$f"
  done >"$srclist.list.tmp"
  mv "$srclist.tmp" "$srclist"
  if [ -s "$srclist.list.tmp" ]; then
    mv "$srclist.list.tmp" /etc/apt/sources.list.d/qvdelay-deb-src.list
  else
    rm -f "$srclist.list.tmp"
  fi
  apt_update
fi

# --- libpng and zlib for both MinGW targets ---------------------------------
# Fetches a Debian source package: the newest version first, then older ones,
# since a mirror may lack the sources of the newest security update.
# Says which version it used, and loudly when it is not the newest: an older
# source may lack security fixes that the newest one has.
fetch_source() {
  local pkg=$1 dir=$2 ver newest=""
  for ver in $(apt-cache showsrc "$pkg" | awk '/^Version:/ {print $2}' | sort -urV); do
    [ -n "$newest" ] || newest=$ver
    if (cd "$dir" && apt-get source --download-only "$pkg=$ver" >>"$log" 2>&1); then
      if [ "$ver" = "$newest" ]; then
        say "using the source of $pkg $ver"
      else
        say "WARNING: the source of $pkg $newest could not be fetched; using the OLDER $pkg $ver" >&2
        say "WARNING: it may lack fixes of $newest; delete $deps and run setup again once the mirror has it" >&2
      fi
      return 0
    fi
  done
  say "could not fetch the source of $pkg (see $log)"; exit 1
}

build_deps() {
  local triplet=$1 prefix="$deps/$1" src="$deps/src"
  [ -f "$prefix/lib/libpng16.a" ] && [ -f "$prefix/lib/libz.a" ] && return 0
  say "building zlib and libpng for $triplet"
  mkdir -p "$src" "$prefix"
  if [ ! -d "$src/zlib" ]; then
    fetch_source zlib "$src"
    (cd "$src" && \
      quiet dpkg-source -x "$(ls zlib_*.dsc | head -n1)" zlib-tree && mv zlib-tree zlib)
  fi
  if [ ! -d "$src/libpng" ]; then
    fetch_source libpng1.6 "$src"
    (cd "$src" && \
      quiet dpkg-source -x "$(ls libpng1.6_*.dsc | head -n1)" libpng-tree && mv libpng-tree libpng)
  fi
  local work="$deps/work-$triplet"
  rm -rf "$work"; mkdir -p "$work"
  cp -a "$src/zlib" "$work/zlib"
  # zlib's own sources, compiled directly: the packaged tree has no Windows makefile.
  mkdir -p "$prefix/lib" "$prefix/include"
  (cd "$work/zlib" && for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite \
      infback inffast inflate inftrees trees uncompr zutil; do
      quiet "$triplet-gcc-posix" -O2 -msse2 -c "$f.c" -o "$f.o"
    done && quiet "$triplet-ar" rcs libz.a ./*.o && \
    cp libz.a "$prefix/lib/" && cp zlib.h zconf.h "$prefix/include/")
  cp -a "$src/libpng" "$work/libpng"
  (cd "$work/libpng" && quiet ./configure --host="$triplet" --prefix="$prefix" \
      --enable-static --disable-shared --disable-tools \
      CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" CFLAGS="-O2 -msse2" && \
    quiet make -j2 libpng16.la && \
    cp .libs/libpng16.a "$prefix/lib/" && cp png.h pngconf.h pnglibconf.h "$prefix/include/")
  [ -f "$prefix/lib/libpng16.a" ] || { say "libpng for $triplet did not build (see $log)"; exit 1; }
  rm -rf "$work"
}
build_deps x86_64-w64-mingw32
build_deps i686-w64-mingw32

# --- 32-bit programs -------------------------------------------------------------
# Some kernels run no 32-bit x86 programs natively; 32-bit Wine then runs through
# qemu's user-mode emulator, registered as the interpreter for such programs.
probe="$root/build/elf32-probe"
if [ ! -x "$probe" ]; then
  # A 32-bit program that only exits with status 42.
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
fi
rc=0; "$probe" 2>/dev/null || rc=$?
if [ "$rc" -ne 42 ] && [ "$(id -u)" -eq 0 ]; then
  bm=/proc/sys/fs/binfmt_misc
  [ -f "$bm/register" ] || mount -t binfmt_misc binfmt_misc "$bm" 2>/dev/null || true
  if [ -f "$bm/register" ] && [ ! -e "$bm/qemu-i386" ]; then
    say "registering qemu-i386 for 32-bit programs"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' >"$bm/register"
  fi
  rc=0; "$probe" 2>/dev/null || rc=$?
  [ "$rc" -eq 42 ] || say "warning: this machine cannot run 32-bit programs; x86 tests will not run"
fi

# --- Wine prefix under build/ ---------------------------------------------------
# Creating a prefix takes minutes when 32-bit Wine is emulated, so a fresh
# clone starts from a copy of one made earlier on this machine.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
template=/var/cache/qvdelay/wineprefix
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if [ -f "$template/system.reg" ]; then
    cp -a "$template" "$WINEPREFIX"
  else
    say "creating the Wine prefix"
    # Empty overrides keep wineboot from asking to install Mono or Gecko.
    WINEDLLOVERRIDES="mscoree,mshtml=" quiet wineboot --init
    quiet wineserver -w
    if [ "$(id -u)" -eq 0 ]; then mkdir -p "$(dirname "$template")" && cp -a "$WINEPREFIX" "$template"; fi
  fi
fi
if [ "${#still_missing[@]}" -gt 0 ]; then
  if [ "${still_missing[*]}" = "wine32:i386" ]; then
    # Only the x86 Windows programs need it; test.sh builds them and says
    # loudly that their tests did not run.
    say "WARNING: 32-bit Wine (wine32:i386) could not be installed (see $log): x86 Windows programs cannot run on this machine; run setup again once the mirror serves it"
  else
    say "FAILED: these packages could not be installed: ${still_missing[*]} (see $log); run setup again later"
    exit 1
  fi
fi
exit 0
