#!/usr/bin/env bash
# Draws the sale document's header, three lines and footer with the report
# objects at 96 and 600 dpi, to check the layout by eye:
#   tools/render_sale.sh [OUTDIR]      (default: build/render)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/build/render}"
cmake --build "$here/build" -j4 --target lyrrender
mkdir -p "$out"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
for dpi in 96 600; do
  "$here/build/tools/lyrrender/lyrrender" "$out/sale_$dpi.png" "$dpi"
  echo "$out/sale_$dpi.png"
done
