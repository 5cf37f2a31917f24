#!/usr/bin/env bash
# Sets up, builds and runs every test. Window tests run on Qt's offscreen platform: no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
