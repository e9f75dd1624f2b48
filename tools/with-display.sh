#!/bin/sh
# Runs a command with an X display: the current one if DISPLAY is set,
# else a virtual one (Xvfb) started for the command and stopped after it.
if [ -n "$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
n=${KIVRA_XVFB_DISPLAY:-77}
while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT INT TERM
export DISPLAY=":$n"
i=0
until xdpyinfo >/dev/null 2>&1; do
  i=$((i + 1)); [ $i -gt 100 ] && { echo "with-display: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
"$@"
