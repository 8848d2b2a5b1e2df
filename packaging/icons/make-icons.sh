#!/usr/bin/env bash
# Renders the scalable icon pelorine.svg into the PNG sizes desktops look for,
# as hicolor/SIZExSIZE/apps/pelorine.png beside this script. Run it again after
# changing the SVG and commit the result: the build itself needs no renderer.
# Needs rsvg-convert (scripts/install-deps.sh package).
set -euo pipefail
cd "$(dirname "$0")"

for size in 16 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}/apps"
    rsvg-convert --width "$size" --height "$size" pelorine.svg \
        --output "hicolor/${size}x${size}/apps/pelorine.png"
done
