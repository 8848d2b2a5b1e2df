#!/usr/bin/env bash
# The Windows window under Wine on a virtual display (run through
# tests/window/with-display.sh): Compile and Browse driven by real mouse and
# keyboard input (xdotool), with a screenshot of each state.
# Usage: window-under-wine.sh PELORINE_EXE LINUX_BUILD_DIR SCREENSHOT_DIR
set -euo pipefail
program=$1
linux=$2
shots=$3
site=$(cd "$(dirname "$0")/../../examples/site" && pwd)
scratch=$(mktemp -d)
mkdir -p "$shots"
: >"$shots/wine.log"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "window-under-wine: $*" >&2
    grep -a 'fault\|exception' "$shots/wine.log" >&2 || true
    exit 1
}

# Waits for the window titled "Pelorine (v. ...)" and prints its id.
find_window() {
    for _ in $(seq 1 100); do
        id=$(xdotool search --name '^Pelorine \(v\. ' 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}
shot() { import -window "$1" "$shots/$2.png"; }
# A click at a point of the form, in client pixels.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
wait_for() {
    for _ in $(seq 1 100); do eval "$1" && return 0; sleep 0.2; done
    return 1
}

# The browser the shell would start: a stand-in that records the address.
mkdir -p "$scratch/bin"
printf '#!/bin/sh\necho "$@" >> %s/opened\n' "$scratch" > "$scratch/bin/xdg-open"
chmod +x "$scratch/bin/xdg-open"
export PATH="$scratch/bin:$PATH"

# Compile: the fields filled from the command line, the click on Compile.
wine "$program" --compile-source "$site" --compile-archive "$scratch/site.pel" >>"$shots/wine.log" 2>&1 &
pids+=($!)
window=$(find_window) || fail "the window did not appear"
sleep 1
shot "$window" windows-standby
click "$window" 460 280  # the caption "Compile" on its button
wait_for "[ -s '$scratch/site.pel' ]" || fail "Compile wrote no archive"
sleep 1.5  # the clock shows "Done" within a second
shot "$window" windows-compiled
"$linux/pelorine-archive" verify "$scratch/site.pel" >/dev/null || fail "the archive does not verify"
"$linux/pelorine" --console --compile-source "$site" --compile-archive "$scratch/linux.pel" \
    --compile >/dev/null 2>&1
diff <("$linux/pelorine-archive" list "$scratch/site.pel" | sort) \
     <("$linux/pelorine-archive" list "$scratch/linux.pel" | sort) ||
    fail "the window's archive differs from the Linux one"
# Closing the window (Alt+F4, as its close button) ends the program with 0.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool key --window "$window" alt+F4
wait_for "! kill -0 ${pids[0]} 2>/dev/null" || fail "closing the window did not end the program"
wait "${pids[0]}" || fail "the program ended with $? after its window closed"

# Browse: the archive typed into its field after Alt+A, the click on Browse.
# Wine's winepath now and then prints an error of Wine's own in place of the
# path: it is asked again until it gives one.
archive=""
for _ in $(seq 1 5); do
    archive=$(winepath -w "$scratch/site.pel" 2>/dev/null || true)
    [[ $archive =~ ^[A-Za-z]:\\ ]] && break
    sleep 1
done
[[ $archive =~ ^[A-Za-z]:\\ ]] || fail "winepath gave no Windows path: $archive"
wine "$program" >>"$shots/wine.log" 2>&1 &
pids+=($!)
window=$(find_window) || fail "the window did not appear"
sleep 1
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool key --window "$window" alt+a
xdotool type --window "$window" --delay 20 "$archive"
sleep 0.5
shot "$window" windows-browse-typed
click "$window" 460 465  # the caption "Browse" on its button
wait_for "curl -sf -o '$scratch/index.html' http://127.0.0.1:8078/index.html" ||
    fail "Browse does not serve"
cmp "$scratch/index.html" "$site/index.html" || fail "the start page differs"
wait_for "[ -s '$scratch/opened' ]" || fail "the browser was not asked to open the start page"
grep -qx 'http://localhost:8078/index.html' "$scratch/opened" || fail "opened: $(cat "$scratch/opened")"
sleep 1.5
shot "$window" windows-browsing
# A fault in any thread leaves Wine's debugger waiting rather than failing
# a step, so the log is the witness.
! grep -aq 'Unhandled' "$shots/wine.log" || fail "a fault under Wine"
echo "window-under-wine: Compile and Browse passed; screenshots in $shots"
