#!/usr/bin/env bash
# Renders the hicolor PNG sizes of the application icon from its SVG.
# The PNGs are committed; run this again after changing resources/icons/pendra.svg.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "make-icons: rsvg-convert missing (librsvg2-bin)"; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  out=resources/icons/hicolor/${size}x${size}/pendra.png
  mkdir -p "$(dirname "$out")"
  rsvg-convert -w "$size" -h "$size" -o "$out" resources/icons/pendra.svg
done
