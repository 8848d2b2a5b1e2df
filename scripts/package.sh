#!/usr/bin/env bash
# Builds the Debian package in one command: installs what is missing, builds
# the installed programs with Debian's hardening flags in build-package/, and
# makes the .deb there with cpack. Prints the package's path as the last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build package

# Debian's compiler and hardening flags.
source scripts/debian-flags.bash
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    -DPELORINE_TESTS=OFF "${debian_flags[@]}" >/dev/null
cmake --build build-package -j "$(nproc)" --target installables
(cd build-package && cpack -G DEB >/dev/null)
package=$(ls build-package/pelorine_*.deb)
echo "== Package: $package"
echo "$PWD/$package"
