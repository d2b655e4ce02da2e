#!/usr/bin/env bash
# Saves the preview window showing a sale-document report (100 %, page
# width, thumbnails, a found text) and its print and page settings dialogs
# as PNG files under Xvfb, to check by eye:
#   tools/preview_shots.sh [OUTDIR]      (default: build/preview_shots)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/build/preview_shots}"
cmake --build "$here/build" -j4 --target lyrpreviewshots
mkdir -p "$out"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build/tools/lyrpreviewshots/lyrpreviewshots" "$out"
