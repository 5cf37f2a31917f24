#!/usr/bin/env bash
# Builds the editor and its Debian package into build/package/ (orvalen-wqt-manager_<version>-<revision>_<arch>.deb):
# the files `cmake --install` puts under /usr, dependencies found by dpkg-shlibdeps, then checks it
# with lintian (an error or a warning fails). The maintainer is taken from DEBFULLNAME and
# DEBEMAIL when build/ is configured.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cpack -G DEB --config build/CPackConfig.cmake -B build/package
deb=$(ls build/package/*.deb)
lintian --fail-on error,warning "$deb"
echo "$deb"
