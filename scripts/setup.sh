#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the editor need.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev qt6-translations-l10n
  qt6-image-formats-plugins
  libjpeg62-turbo-dev libpng-dev libcli11-dev nlohmann-json3-dev
  libwebp-dev libgif-dev libtiff-dev libheif-dev
  liblcms2-dev libpixman-1-dev libexif-dev libvips-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth imagemagick xdotool
  desktop-file-utils appstream shared-mime-info dpkg-dev lintian man-db groff-base x11-utils
  bash-completion xdg-utils file
  chromium tumbler dbus-daemon python3-gi gir1.2-glib-2.0 python3-html5lib
  fonts-liberation2 fonts-paratype fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
