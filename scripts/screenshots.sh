#!/usr/bin/env bash
# Builds Tessaline and takes the README's pictures of the real program under a
# private X server, at scale 1 and 2 (QT_SCALE_FACTOR), into docs/screenshots/.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target tessaline
TESSALINE_BIN="$(pwd)/$build/tessaline" PYTHONDONTWRITEBYTECODE=1 \
  /usr/bin/python3 scripts/screenshots.py docs/screenshots
