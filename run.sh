#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts Tessaline.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTESSALINE_TESTS=OFF
cmake --build build -j"$(nproc)"
exec build/tessaline
