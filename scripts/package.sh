#!/usr/bin/env bash
# Builds the editor and its Debian package into build/package/ (orvalen-wqt-manager_<version>_<arch>.deb):
# the files `cmake --install` puts under /usr, dependencies found by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cpack -G DEB --config build/CPackConfig.cmake -B build/package
ls build/package/*.deb
