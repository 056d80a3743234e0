#!/usr/bin/env bash
# Installs what is missing, builds Tessaly with the Map Viewer and the Map
# Combiner its Tools menu starts, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/configure.sh
cmake --build build -j"$(nproc)" --target tessaly orvane quiltry
exec build/bin/tessaly
