#!/usr/bin/env bash
# Runs a window test on a virtual display of its own: Xvfb on a free display
# number, the test with DISPLAY set to it, the server stopped afterwards.
# Without Xvfb the test is skipped (exit code 77).
set -uo pipefail
if ! command -v Xvfb >/dev/null; then
  echo "SKIP: Xvfb is not installed (scripts/packages.txt)"
  exit 77
fi
runtime=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$runtime"' EXIT
# -displayfd: the server picks a free display number and writes it here.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$runtime/display" 2>"$runtime/xvfb.log" &
xvfb=$!
for _ in $(seq 1 200); do
  [[ -s "$runtime/display" ]] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "SKIP: Xvfb did not start"; cat "$runtime/xvfb.log"; exit 77; }
  sleep 0.05
done
number=$(tr -d '\n' <"$runtime/display")
[[ -n "$number" ]] || { echo "SKIP: Xvfb gave no display"; exit 77; }
export DISPLAY=":$number"
unset WAYLAND_DISPLAY
# GTK's accessibility bridge is not wanted on a virtual display.
export NO_AT_BRIDGE=1
"$@"
