#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless through ctest:
# unit and window tests offscreen, end-to-end tests against the real program
# under Xvfb over the accessibility bus.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Release -DTESSALINE_TESTS=ON -DTESSALINE_BENCH=ON
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure --timeout 600 "$@"
