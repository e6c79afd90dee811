#!/bin/sh
# One step of outside input or capture for the Windows GUI tests, run by the
# test program under Wine (which cannot wait for a Unix process): the exit
# status is written to DONE, which the test polls while pumping its messages.
#
#   xinput.sh DONE probe                    whether xdotool reaches the display
#   xinput.sh DONE xdotool ARGS...          real pointer and key events
#   xinput.sh DONE later SECONDS ARGS...    the same after a pause (for modal menus)
#   xinput.sh DONE mapped TITLE             wait until the window TITLE is mapped
#   xinput.sh DONE focus TITLE              give that window the X keyboard focus
#   xinput.sh DONE capture FILE             the whole screen as an xwd dump
done=$1
step=$2
shift 2
run() { timeout 20 "$@"; }
case $step in
  probe) run xdotool getmouselocation >/dev/null ;;
  xdotool) run xdotool "$@" ;;
  later) sleep "$1"; shift; run xdotool "$@" ;;
  mapped) run xdotool search --sync --onlyvisible --name "^$1\$" >/dev/null ;;
  focus)
    id=$(run xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
    [ -n "$id" ] && run xdotool windowfocus --sync "$id" ;;
  capture) run xwd -root -silent -out "$1" ;;
  *) false ;;
esac
status=$?
echo "$status" > "$done.part" && mv "$done.part" "$done"
