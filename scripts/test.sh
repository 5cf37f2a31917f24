#!/usr/bin/env bash
# The one test command: sets up, builds and runs every test, then the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of every fuzz target.
# Window tests run on Qt's offscreen platform: no display.
# FUZZ_SECONDS sets the time per fuzz target (30 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
echo "== tests passed ($((SECONDS - start)) s)"

bash scripts/sanitize.sh
echo "== sanitizer tests passed ($((SECONDS - start)) s)"

FUZZ_SECONDS="${FUZZ_SECONDS:-30}" bash scripts/fuzz.sh
echo "== fuzz targets clean ($((SECONDS - start)) s)"
