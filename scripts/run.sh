#!/usr/bin/env bash
# Sets up, builds only what the editor needs (the editor, with the sample map beside it, and the
# sample theme) and starts it with the sample theme open. Arguments go to the editor instead of
# the sample theme.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target orvalen-wqt-manager sample_theme
if [ $# -eq 0 ]; then set -- "$PWD/build/app/Sample.wqt"; fi
exec build/app/orvalen-wqt-manager "$@"
