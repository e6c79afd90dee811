# Sourced by test.sh and demo.sh: an X server for the editor windows (the X11
# editor, and the Win32 one under Wine). Without DISPLAY a virtual server is
# started on a display number it picks itself (-displayfd); stop_xvfb ends it.
# -noreset keeps it from resetting whenever its last client goes between two
# programs.
xvfb_pid=""
stop_xvfb() { [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }; }
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  read -r -t 30 number <"$fifo" || number=""
  rm -f "$fifo"
  if [ -n "$number" ]; then export DISPLAY=":$number"; else echo "warning: Xvfb did not start; no editor windows"; fi
fi
