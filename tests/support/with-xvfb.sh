#!/usr/bin/env bash
# with-xvfb.sh SCREEN COMMAND...: runs COMMAND on a private Xvfb display of
# SCREEN (e.g. 1024x768x24) and ends the server after it. Xvfb picks the
# display number itself (-displayfd), so suites started side by side never
# race for one as xvfb-run -a does (one of them would lose its display).
# -noreset: an X server resets when its last client leaves and turns new
# clients away meanwhile, so a program started just after another quit could
# not open the display.
set -uo pipefail
screen=$1
shift
if ! command -v Xvfb >/dev/null; then
  echo "with-xvfb: Xvfb is not installed" >&2
  exit 1
fi
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
# Xvfb writes the number and a newline once it accepts clients.
for _ in $(seq 1 600); do
  [ "$(wc -l <"$dir/display")" -ge 1 ] && break
  if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "with-xvfb: Xvfb did not start:" >&2
    cat "$dir/log" >&2
    exit 1
  fi
  sleep 0.05
done
number=$(head -n1 "$dir/display")
if [ -z "$number" ]; then
  echo "with-xvfb: Xvfb gave no display within 30 s" >&2
  exit 1
fi
DISPLAY=":$number" "$@"
