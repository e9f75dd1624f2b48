#!/bin/sh
# Runs a command with an X display: the current one if DISPLAY is set,
# else a virtual one (Xvfb) started for the command and stopped after it.
# Xvfb picks a free display number itself (-displayfd) and writes it once it
# accepts connections, so two runs started at once never share a display.
if [ -n "$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
number=$(mktemp "${TMPDIR:-/tmp}/kivra-display.XXXXXX")
Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$number" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$number"' EXIT
trap 'exit 130' INT TERM
i=0
until [ -s "$number" ] && grep -q '^[0-9][0-9]*$' "$number"; do
  i=$((i + 1))
  if [ $i -gt 200 ] || ! kill -0 $xvfb 2>/dev/null; then
    echo "with-display: Xvfb did not start" >&2; exit 1
  fi
  sleep 0.1
done
export DISPLAY=":$(cat "$number")"
"$@"
