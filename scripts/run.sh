#!/usr/bin/env bash
# Installs what is missing, builds, and compiles the bundled example site; where
# a display exists, the window then serves it and opens it in the browser,
# elsewhere the console serves it until Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
scripts/build.sh build
mkdir -p out
echo "== Compiling examples/site into out/site.pel"
build/pelorine --console --compile-source examples/site --compile-archive out/site.pel --compile
echo "== Archive: $(stat -c %s out/site.pel) bytes"
if [ -n "${DISPLAY:-}" ]; then
    # The window, minimized, serves the archive; closing it stops the server.
    # Without a display that can be opened the program runs in the console.
    echo "== Serving out/site.pel from the window: http://localhost:8078/index.html"
    exec build/pelorine --compile-source examples/site --compile-archive out/site.pel \
        --browse-archive out/site.pel --browse
fi
echo "== Serving out/site.pel: open http://localhost:8078/index.html (Ctrl+C stops)"
exec build/pelorine --console --browse-archive out/site.pel --browse
