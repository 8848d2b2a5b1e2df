#!/usr/bin/env bash
# Builds the Debian package in one command: installs what is missing, builds
# the installed programs with Debian's hardening flags in build-package/, and
# makes the .deb there with cpack. Prints the package's path as the last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build package

# The compiler and linker flags Debian builds its own packages with, all
# hardening included.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    -DPELORINE_TESTS=OFF \
    -DCMAKE_C_FLAGS="$(flags CFLAGS) $(flags CPPFLAGS)" -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build build-package -j "$(nproc)" --target installables
(cd build-package && cpack -G DEB >/dev/null)
package=$(ls build-package/pelorine_*.deb)
echo "== Package: $package"
echo "$PWD/$package"
