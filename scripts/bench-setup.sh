#!/usr/bin/env bash
# What the download benchmarks need beyond the build: nginx serves their
# tiles on 127.0.0.1, curl is the yardstick, xvfb shows the real window.
set -euo pipefail
exec "$(dirname "$0")/setup.sh" nginx-light curl xvfb
