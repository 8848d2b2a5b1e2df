#!/usr/bin/env bash
# Cross-builds Pelorine for 64-bit Windows on Debian: installs what is missing
# (the MinGW-w64 compilers, Wine, the LZO sources), builds LZO as a static
# library, then the program as single executables needing no DLLs, and packs
# them with the README and the license into build-windows/pelorine-windows.zip.
# Usage: scripts/build-windows.sh [--tests]   (--tests also builds the tests)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build-windows
prefix=$work/prefix
toolchain=$root/cmake/windows-x86_64.cmake
jobs=$(nproc)
with_tests=OFF
[ "${1:-}" = "--tests" ] && with_tests=ON

scripts/install-deps.sh windows
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

# The LZO sources come from the package registry's source entries; add them,
# with the same host and suites as the binary entries, when none exist.
have_sources() {
    grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/
}
if ! have_sources; then
    echo "Adding source entries beside the binary ones"
    # Each Debian stanza of the deb822 files, as deb-src.
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -e "$file" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /debian-archive-keyring/ { sub(/Types: *deb/, "Types: deb-src"); print }' "$file"
    done | $SUDO tee /etc/apt/sources.list.d/pelorine-sources.sources >/dev/null
    # And the one-line entries of sources.list.
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
            $SUDO tee /etc/apt/sources.list.d/pelorine-sources.list >/dev/null
    fi
    $SUDO apt-get update -q
fi

mkdir -p "$work/src"
lzo_source=$(find "$work/src" -maxdepth 1 -type d -name 'lzo2-*' | head -n 1)
if [ -z "$lzo_source" ]; then
    (cd "$work/src" && apt-get source -q lzo2 >/dev/null 2>&1) || {
        echo "cannot fetch the LZO sources (apt-get source lzo2)" >&2
        exit 1
    }
    lzo_source=$(find "$work/src" -maxdepth 1 -type d -name 'lzo2-*' | head -n 1)
fi

if [ ! -f "$prefix/lib/liblzo2.a" ]; then
    echo "== Cross-building LZO from $lzo_source"
    cmake -S "$lzo_source" -B "$work/lzo" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_STATIC=ON -DENABLE_SHARED=OFF >/dev/null
    cmake --build "$work/lzo" -j "$jobs" --target lzo_static_lib >/dev/null
    cmake --install "$work/lzo" >/dev/null 2>&1 || true
    # The install step of LZO's build also wants its test programs; the
    # library and the headers are all this program needs.
    mkdir -p "$prefix/lib" "$prefix/include/lzo"
    cp "$work/lzo/liblzo2.a" "$prefix/lib/"
    cp "$lzo_source"/include/lzo/*.h "$prefix/include/lzo/"
fi

if [ "$with_tests" = ON ] && [ ! -f "$prefix/lib/libgtest.a" ]; then
    echo "== Cross-building GoogleTest"
    cmake -S /usr/src/googletest -B "$work/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$work/googletest" -j "$jobs" >/dev/null
    cmake --install "$work/googletest" >/dev/null
fi

echo "== Cross-building Pelorine"
cmake -S . -B "$work/program" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DPELORINE_WINDOW=ON -DPELORINE_TESTS=$with_tests \
    -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$work/program" -j "$jobs"

# The executables and the zip handed to Windows users.
programs=("$work/program/pelorine.exe" "$work/program/pelorine-archive.exe")
for program in "${programs[@]}"; do
    "$(command -v x86_64-w64-mingw32-strip)" -o "$work/$(basename "$program")" "$program"
done
rm -f "$work/pelorine-windows.zip"
staging=$work/zip
rm -rf "$staging" && mkdir -p "$staging"
for program in "${programs[@]}"; do cp "$work/$(basename "$program")" "$staging/"; done
cp README.md "$staging/README.md"
cp LICENSE "$staging/LICENSE.txt"
(cd "$staging" && zip -q -9 "$work/pelorine-windows.zip" ./*)
echo "== Built: $(cd "$work" && ls pelorine*.exe pelorine-windows.zip | tr '\n' ' ')"
