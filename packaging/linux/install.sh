#!/bin/sh
# Installs Quorvel Brigade Delay for the current user, where Linux hosts look
# by default: the VST 2.4 plug-in into ~/.vst, the VST 3 plug-in into ~/.vst3.
#   ./install.sh               install (or update)
#   ./install.sh --uninstall   remove the plug-ins; saved MIDI controller
#                              assignments (qvdelay.ini) stay
#   ./install.sh --uninstall --purge   remove those too
set -eu
here=$(cd "$(dirname "$0")" && pwd)
vst="$HOME/.vst" vst3="$HOME/.vst3"
user_settings="${XDG_CONFIG_HOME:-$HOME/.config}/Quorvel Music/Quorvel Brigade Delay"
mode=install purge=0
for arg in "$@"; do
  case $arg in
    --uninstall) mode=uninstall ;;
    --purge) purge=1 ;;
    -h|--help) sed -n '2,8s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "install.sh: unknown option $arg (try --help)" >&2; exit 2 ;;
  esac
done

if [ "$mode" = install ]; then
  mkdir -p "$vst"
  # Copied under a new name and renamed, so a running host never sees half a file.
  cp "$here/vst/QVDelay64.so" "$vst/.QVDelay64.so.new" && mv -f "$vst/.QVDelay64.so.new" "$vst/QVDelay64.so"
  echo "installed $vst/QVDelay64.so"
  if [ -d "$here/vst3/QVDelay.vst3" ]; then
    mkdir -p "$vst3"
    # Replace the bundle's files but keep settings saved inside it.
    (cd "$here/vst3" && find QVDelay.vst3 -type d) | while read -r d; do mkdir -p "$vst3/$d"; done
    (cd "$here/vst3" && find QVDelay.vst3 -type f) | while read -r f; do
      cp "$here/vst3/$f" "$vst3/$f.new" && mv -f "$vst3/$f.new" "$vst3/$f"
    done
    echo "installed $vst3/QVDelay.vst3"
  fi
  exit 0
fi

rm -f "$vst/QVDelay64.so"
[ ! -d "$vst3/QVDelay.vst3" ] || find "$vst3/QVDelay.vst3" -type f ! -name qvdelay.ini -exec rm -f {} +
if [ "$purge" = 1 ]; then
  rm -f "$vst/qvdelay.ini" "$user_settings/qvdelay.ini"
  rm -rf "$vst3/QVDelay.vst3"
  rmdir "$user_settings" "$(dirname "$user_settings")" 2>/dev/null || true
fi
# Folders go only when nothing else is left in them.
[ ! -d "$vst3/QVDelay.vst3" ] || find "$vst3/QVDelay.vst3" -depth -type d -empty -delete
rmdir "$vst" "$vst3" 2>/dev/null || true
echo "removed Quorvel Brigade Delay from $vst and $vst3"
[ "$purge" = 1 ] || echo "kept saved MIDI controller assignments (qvdelay.ini), if any; --purge removes them"
