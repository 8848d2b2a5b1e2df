#!/usr/bin/env bash
# Installs what is missing, builds, checks the sources with clang-tidy, and
# runs every test: a plain build, the Debian package, an AddressSanitizer +
# UndefinedBehaviorSanitizer build, and the threaded tests under ThreadSanitizer,
# then the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test package
jobs=$(nproc)
# Each stage's start, in seconds from the start of the run.
stage() { echo "== [${SECONDS} s] $*"; }
SECONDS=0

stage "plain build"
# With the package's flags, so that the package stage compiles nothing anew.
source scripts/debian-flags.bash
scripts/build.sh build "${debian_flags[@]}"
stage "clang-tidy"
# clang-tidy over the program's sources (checks in .clang-tidy).
scripts/lint.sh build
stage "tests"
# Everything, the slow suites included (a developer's quick run: ctest -LE slow).
# The browser tests are left out of a build that found no Node.js; here, where
# the dependencies were just installed, that is a fault of the run.
(cd build && ctest -N -L browser | grep -q '^Total Tests: [1-9]') ||
    { echo "scripts/test.sh: the browser tests are not registered (node or npm missing)" >&2; exit 1; }
(cd build && ctest --output-on-failure -j "$jobs")

stage "package"
# The Debian package, checked unpacked; it serves on port 8078, so alone.
package=$(scripts/package.sh | tail -n 1)
tests/package/check-package.sh "$package"

stage "AddressSanitizer and UndefinedBehaviorSanitizer"
# The sanitizer builds carry line tables only (enough for a report's file and
# line, at a good part less compile and link time than full debug
# information), and no window: its tests run in the plain build.
sanitizer_build=(-DPELORINE_WINDOW=OFF "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
                 "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
# One clang build serves both the sanitizer tests and the libFuzzer targets:
# the fuzz targets need clang, and building the sources once saves a build.
CC=clang CXX=clang++ scripts/build.sh build-asan "${sanitizer_build[@]}" \
    -DPELORINE_SANITIZE=address,undefined -DPELORINE_FUZZ=ON
# The capacity test's quarter of a million files runs in the plain build only,
# and so does the test that uses up every descriptor of the process: the
# sanitizer runtime needs descriptors of its own there and fails it about one
# run in five (never in the plain build).
(cd build-asan && ctest --output-on-failure -j "$jobs" -LE 'browser|window|^fuzz$' \
    -E '^Capacity\.|^Accept\.PausesWhileDescriptorsRunOut$')

stage "ThreadSanitizer"
# Only the programs and the test programs this stage runs: those whose tests
# are labelled threads or slow in their CMakeLists.txt (the capacity test
# apart, as below).
tsan_targets=(pelorine pelorine-archive $(
    grep -hE 'gtest_discover_tests\(' tests/*/CMakeLists.txt |
        grep -E 'LABELS [^)]*\b(threads|slow)\b' |
        sed -E 's/.*gtest_discover_tests\(([A-Za-z0-9_]+).*/\1/' | grep -vx capacity_tests))
BUILD_TARGETS="${tsan_targets[*]}" scripts/build.sh build-tsan "${sanitizer_build[@]}" \
    -DPELORINE_SANITIZE=thread
# The threaded tests and the slow load and resource suites (not the capacity
# test, nor the browser's: Chromium's timing is measured in the plain build).
# Not the tests that use up every descriptor of the process either: the
# ThreadSanitizer runtime needs descriptors of its own there (as the dynamic-type
# check does above), and once took one the program had counted on; they run in
# the plain build.
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j "$jobs" -L 'threads|slow' \
    -LE browser \
    -E '^Capacity\.|^Accept\.PausesWhileDescriptorsRunOut$|^ConsoleBrowse\.KeepAliveClosesTheIdlestWhenDescriptorsRunOut$')

stage "fuzz targets"
# libFuzzer targets (index loading, the request, decompression, the archive
# tool's commands), each for a bounded time from its seeds, under ASan and UBSan,
# from the sanitizer build above.
(cd build-asan && ctest --output-on-failure -j "$jobs" -L '^fuzz$')

stage "Windows"
# The Windows build, cross-built here and run under Wine.
scripts/test-windows.sh
stage "done"
