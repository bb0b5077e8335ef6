#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root. Fast when nothing is
# missing: only absent packages are fetched.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-translations-l10n libjpeg-dev libjpeg-turbo-progs pxlib-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev
  xvfb xauth x11-utils imagemagick xdg-utils fonts-wine fonts-dejavu-core fontconfig
  cups printer-driver-cups-pdf cups-filters cups-client cups-ipp-utils poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: these packages are missing; run as root to install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=300 update -q
  apt-get install -y -q -o DPkg::Lock::Timeout=300 --no-install-recommends "${missing[@]}"
fi
