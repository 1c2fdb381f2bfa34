#!/usr/bin/env bash
# Renders the monitor's icon (dist/icons/kelvor-monitor.svg) to the PNG sizes we install.
# The PNGs are kept in the tree because no tool the build already needs can draw an SVG; run
# this after changing the SVG (needs rsvg-convert: apt-get install librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../dist/icons"
for size in 48 256; do
  rsvg-convert --width "$size" --height "$size" kelvor-monitor.svg -o "kelvor-monitor-$size.png"
done
