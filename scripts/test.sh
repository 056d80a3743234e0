#!/usr/bin/env bash
# Installs what is missing, builds Tessaly with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/configure.sh
cmake --build build -j"$(nproc)"
# GUI tests drive real windows without a display.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
