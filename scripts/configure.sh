#!/usr/bin/env bash
# Configures the build folder `build/`. A fresh one is built with Ninja, which
# keeps both cores busy across the libraries' borders; a folder configured
# before keeps the generator it was made with.
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
if [[ ! -f build/CMakeCache.txt ]]; then
  generator=(-G Ninja)
fi
cmake "${generator[@]}" -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
