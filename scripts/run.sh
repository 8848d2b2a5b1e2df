#!/usr/bin/env bash
# Installs what is missing, builds, and compiles the bundled example site.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
scripts/build.sh build
mkdir -p out
echo "== Compiling examples/site into out/site.pel"
build/pelorine --console --compile-source examples/site --compile-archive out/site.pel --compile
echo "== Archive: $(stat -c %s out/site.pel) bytes"
