#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh DIR [cmake options...]
# BUILD_TARGETS="a b ...": only those targets (and what they need), not all.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
if [ -n "${BUILD_TARGETS:-}" ]; then
    # shellcheck disable=SC2086 # a list of target names
    cmake --build "$dir" -j "$(nproc)" --target $BUILD_TARGETS
else
    cmake --build "$dir" -j "$(nproc)"
fi
