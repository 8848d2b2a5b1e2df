#!/usr/bin/env bash
# Runs a test command on a virtual X display of its own: starts Xvfb on a free
# display number (Xvfb picks it), runs the command there, and stops Xvfb.
# Listing the tests needs no display.
set -euo pipefail

for argument in "$@"; do
    [ "$argument" = --gtest_list_tests ] && exec "$@"
done

command -v Xvfb >/dev/null || { echo "with-display.sh: Xvfb is not installed" >&2; exit 1; }

exec {ready}< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null)
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true' EXIT
display=
read -r -t 20 -u "$ready" display || true
if [ -z "$display" ]; then
    echo "with-display.sh: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$display"
status=0
"$@" || status=$?
exit "$status"
