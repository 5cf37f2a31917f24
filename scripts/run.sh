#!/usr/bin/env bash
# Sets up, builds and starts the editor, with the sample map beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/app/orvalen-wqt-manager
