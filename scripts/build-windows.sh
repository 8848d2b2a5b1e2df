#!/usr/bin/env bash
# Cross-builds Pelorine for 64-bit Windows on Debian: installs what is missing
# (the MinGW-w64 compilers, Wine, the library sources), builds LZO, zlib,
# brotli's encoder, SQLite and libxml2 as static libraries, then the program as single
# executables needing no DLLs, and packs them with the README and the license
# into build-windows/pelorine-windows.zip.
# Usage: scripts/build-windows.sh [--tests]   (--tests also builds the tests)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build-windows
toolchain=$root/cmake/windows-x86_64.cmake
jobs=$(nproc)
with_tests=OFF
[ "${1:-}" = "--tests" ] && with_tests=ON

scripts/install-deps.sh windows

# The static libraries are built once per machine and kept outside the
# source tree, so that a fresh clone reuses them: their folder is named after
# this script, the toolchain, the cross compiler and the library versions, and
# a change to any of them builds them anew.
library_key=$(
    {
        cat "$0" "$toolchain"
        x86_64-w64-mingw32-g++-posix --version
        dpkg-query -W liblzo2-dev zlib1g-dev libbrotli-dev libsqlite3-dev libxml2-dev libgtest-dev 2>/dev/null || true
    } | sha256sum | cut -c1-16
)
libraries=${XDG_CACHE_HOME:-$HOME/.cache}/pelorine-build/windows-$library_key
mkdir -p "$libraries" "$work"
# The toolchain file looks for them in build-windows/prefix.
prefix=$work/prefix
[ -L "$prefix" ] || rm -rf "$prefix"
ln -sfn "$libraries" "$prefix"
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
# The unpacked source folder of Debian's source package $1 (fetched once).
debian_source() {
    local package=$1 folder
    folder=$(find "$work/src" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1)
    if [ -z "$folder" ]; then
        # The newest version first; a mirror may lack it (a security update's
        # sources, say), and then each older version the source lists name.
        # Named as a source package: "brotli" is a program's package too.
        local version fetched=
        for version in "" $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -ruV); do
            if (cd "$work/src" && apt-get source -q --only-source "$package${version:+=$version}" >/dev/null 2>&1); then
                fetched=yes
                break
            fi
        done
        [ -n "$fetched" ] || {
            echo "cannot fetch the $package sources (apt-get source $package)" >&2
            exit 1
        }
        folder=$(find "$work/src" -maxdepth 1 -type d -name "$package-[0-9]*" | head -n 1)
    fi
    echo "$folder"
}

if [ ! -f "$prefix/lib/liblzo2.a" ]; then
    lzo_source=$(debian_source lzo2)
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

# zlib, for compressed responses: its library sources alone, as they are.
if [ ! -f "$prefix/lib/libz.a" ]; then
    zlib_source=$(debian_source zlib)
    echo "== Cross-building zlib from $zlib_source"
    mkdir -p "$work/zlib" "$prefix/lib" "$prefix/include"
    for file in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
        "$(command -v x86_64-w64-mingw32-gcc-posix)" -O2 -c "$zlib_source/$file.c" -o "$work/zlib/$file.o"
    done
    rm -f "$prefix/lib/libz.a"
    x86_64-w64-mingw32-ar rcs "$prefix/lib/libz.a" "$work/zlib"/*.o
    cp "$zlib_source/zlib.h" "$zlib_source/zconf.h" "$prefix/include/"
fi

# Brotli's encoder, for compressed responses: its common and encoder sources,
# compiled as they are, one process per file.
if [ ! -f "$prefix/lib/libbrotlienc.a" ]; then
    brotli_source=$(debian_source brotli)
    echo "== Cross-building the brotli encoder from $brotli_source"
    mkdir -p "$work/brotli" "$prefix/lib" "$prefix/include"
    for part in common enc; do
        find "$brotli_source/c/$part" -maxdepth 1 -name '*.c' -print0 |
            xargs -0 -P "$jobs" -I{} sh -c \
                'x86_64-w64-mingw32-gcc-posix -O2 -I"$1/c/include" -c "$2" -o "$3/$4-$(basename "$2" .c).o"' \
                sh "$brotli_source" {} "$work/brotli" "$part"
        rm -f "$prefix/lib/libbrotli$part.a"
        x86_64-w64-mingw32-ar rcs "$prefix/lib/libbrotli$part.a" "$work/brotli/$part"-*.o
    done
    cp -r "$brotli_source/c/include/brotli" "$prefix/include/"
fi

# SQLite: its build makes the single-file source with host tools, which is
# then compiled for Windows with FTS5, the search's index. That one large file
# compiles on one processor, so it is built beside libxml2 and GoogleTest.
sqlite_job=
if [ ! -f "$prefix/lib/libsqlite3.a" ]; then
    sqlite_source=$(debian_source sqlite3)
    echo "== Cross-building SQLite from $sqlite_source"
    (
        mkdir -p "$work/sqlite"
        cd "$work/sqlite" && "$sqlite_source/configure" --disable-tcl >/dev/null && make sqlite3.c >/dev/null
        "$(command -v x86_64-w64-mingw32-gcc-posix)" -O2 -DSQLITE_ENABLE_FTS5 -DSQLITE_THREADSAFE=1 \
            -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DQS=0 -c "$work/sqlite/sqlite3.c" -o "$work/sqlite/sqlite3.o"
        mkdir -p "$prefix/lib" "$prefix/include"
        rm -f "$prefix/lib/libsqlite3.a"
        x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$work/sqlite/sqlite3.o"
        cp "$work/sqlite/sqlite3.h" "$work/sqlite/sqlite3ext.h" "$prefix/include/"
    ) &
    sqlite_job=$!
fi

# libxml2, for its HTML parser only: everything that needs other libraries
# or the network is left out.
if [ ! -f "$prefix/lib/libxml2.a" ]; then
    xml_source=$(debian_source libxml2)
    echo "== Cross-building libxml2 from $xml_source"
    without=()
    for part in ICONV LZMA ZLIB PYTHON PROGRAMS TESTS HTTP FTP MODULES CATALOG SCHEMAS SCHEMATRON \
                XINCLUDE XPTR XPATH C14N DEBUG DOCB LEGACY READER WRITER PATTERN REGEXPS; do
        without+=("-DLIBXML2_WITH_$part=OFF")
    done
    cmake -S "$xml_source" -B "$work/libxml2" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        "${without[@]}" >/dev/null
    cmake --build "$work/libxml2" -j "$jobs" >/dev/null
    cmake --install "$work/libxml2" >/dev/null
fi

if [ "$with_tests" = ON ] && [ ! -f "$prefix/lib/libgtest.a" ]; then
    echo "== Cross-building GoogleTest"
    cmake -S /usr/src/googletest -B "$work/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$work/googletest" -j "$jobs" >/dev/null
    cmake --install "$work/googletest" >/dev/null
fi

if [ -n "$sqlite_job" ]; then
    wait "$sqlite_job" || { echo "cannot cross-build SQLite" >&2; exit 1; }
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
