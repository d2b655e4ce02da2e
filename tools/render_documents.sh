#!/usr/bin/env bash
# Pictures of the sale, purchase and return documents and a label page as
# the program prepares them, and of the preview window showing each of them
# at 100 % and at page width, to compare with their layout by eye:
#   tools/render_documents.sh [OUTDIR] [DPI]      (default: build/documents, 150)
# Runs under Xvfb when it is there, else on the offscreen platform.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/build/documents}"
dpi="${2:-150}"
cmake --build "$here/build" -j4 --target velmora_docrender
mkdir -p "$out"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
tool="$here/build/tools/docrender/velmora_docrender"
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1600x1200x24" "$tool" "$out" "$dpi"
else
  QT_QPA_PLATFORM=offscreen "$tool" "$out" "$dpi"
fi
