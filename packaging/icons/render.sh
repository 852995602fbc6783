#!/usr/bin/env bash
# Regenerates the committed PNGs and the Windows .ico from the SVG source. Only needed after
# changing the design; the build uses the committed files.
# Needs: apt-get install librsvg2-bin icoutils
set -euo pipefail
cd "$(dirname "$0")"
sizes=(16 24 32 48 128 256)
for s in "${sizes[@]}"; do
    rsvg-convert -w "$s" -h "$s" velmora-mobile-emulator.svg -o "velmora-$s.png"
done
# The largest image is stored as PNG, as Windows expects for 256 pixels.
icotool -c -o velmora-mobile-emulator.ico velmora-16.png velmora-24.png velmora-32.png \
    velmora-48.png velmora-128.png -r velmora-256.png
