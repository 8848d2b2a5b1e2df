#!/usr/bin/env bash
# Runs clang-tidy, with the checks in .clang-tidy, over the program's sources
# (not the tests): LINT_JOBS processes at once (default 2), four files each;
# fails on any finding.
# Usage: scripts/lint.sh [BUILD_DIR]   (default build; needs its compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${LINT_JOBS:-2}
if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint: no $build/compile_commands.json; build first (scripts/build.sh $build)" >&2
    exit 2
fi
command -v clang-tidy >/dev/null || { echo "lint: clang-tidy missing (scripts/install-deps.sh test)" >&2; exit 2; }

# Only the files this build compiles: without the window, its sources have no
# compile command, and clang-tidy would guess their flags wrongly.
files=()
for file in Platform/*/*.cpp Shared/*.cpp Search/*.cpp Compiler/*.cpp Library/*.cpp WebServer/*.cpp Startup/*.cpp \
           ArchiveTool/*.cpp; do
    grep -qF "\"$PWD/$file\"" "$build/compile_commands.json" && files+=("$file")
done

set +e
printf '%s\0' "${files[@]}" |
    xargs -0 -P "$jobs" -n 4 clang-tidy -p "$build" --quiet 2>&1 |
    grep -vE '^[0-9]+ warnings? generated\.$'
status=${PIPESTATUS[1]}
set -e
if [ "$status" -ne 0 ]; then
    echo "lint: clang-tidy found problems in the files above" >&2
    exit 1
fi
echo "lint: ${#files[@]} files clean"
