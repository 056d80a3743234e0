#!/usr/bin/env bash
# Renders the PNG sizes of each program's icon from its SVG (rsvg-convert from
# librsvg2-bin). Run it after changing an SVG and commit the PNGs with it.
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
  name=${svg%.svg}
  for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "${size}x${size}/${name}.png" "$svg"
  done
done
