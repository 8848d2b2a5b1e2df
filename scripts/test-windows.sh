#!/usr/bin/env bash
# The Windows build under Wine: cross-builds it with its tests, then runs the
# Windows platform layer's tests, the Linux build's wire, concurrency and
# round-trip tests against pelorine.exe, the archive tool's against
# pelorine-archive.exe, and the window driven by xdotool. Run by
# scripts/test.sh; needs the
# Linux build in build/ (made here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/build-windows.sh --tests
[ -x build/pelorine ] || scripts/build.sh build
cmake --build build -j "$(nproc)" --target wire_tests concurrency_tests windows_program_tests \
    archive_tool_tests pelorine pelorine-archive

# A Wine prefix of the project's own, without the .NET and HTML engines it
# would offer to fetch, and one Wine server kept running for all the tests:
# each program then starts in a fraction of a second instead of seconds.
export WINEPREFIX=$root/build-windows/wine
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 || true  # already running: kept
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1 || true  # fills the prefix on the first run

windows_program="wine $root/build-windows/program/pelorine.exe"
# A test that fails is run once more: Wine now and then fails to start a
# program at all (no output, a hundredth of a second), which says nothing
# of the program; one that fails twice fails the run.
(cd build-windows/program && ctest --output-on-failure --repeat until-pass:2 -L windows)
windows_tool="wine $root/build-windows/program/pelorine-archive.exe"
PELORINE_WINDOWS_PROGRAM=$windows_program PELORINE_WINDOWS_ARCHIVE_TOOL=$windows_tool \
    build/tests/windows/windows_program_tests
# Left out: the in-process server's descriptor test, which does not apply to
# another program.
PELORINE_SERVER_COMMAND=$windows_program build/tests/server/wire_tests --gtest_filter='-Accept.*'
PELORINE_SERVER_COMMAND=$windows_program build/tests/server/concurrency_tests
# The archive tool's round trip and cat's bytes through standard output. Left
# out: the symbolic link planted in the folder, which Wine shows to Windows
# programs as a plain folder rather than a reparse point.
PELORINE_ARCHIVE_TOOL_COMMAND=$windows_tool \
    build/tests/archive/archive_tool_tests --gtest_filter='ArchiveTool.RoundTrip*:ArchiveTool.Cat*'
# The window on a virtual display; its screenshots are kept as test artefacts.
# It gets a Wine session of its own, begun on that display: Wine's desktop
# process stays on the display it began on.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
tests/window/with-display.sh tests/windows/window-under-wine.sh \
    "$root/build-windows/program/pelorine.exe" "$root/build" "$root/build-windows/screenshots"
