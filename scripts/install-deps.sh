#!/usr/bin/env bash
# Installs every Debian package Pixolan needs to build, test and benchmark.
# Idempotent: only missing packages are installed, and the package lists are
# refreshed only when something is missing. Run as root or with sudo available.
set -euo pipefail

# Build and runtime libraries.
build_packages=(
  build-essential cmake ninja-build ccache pkg-config
  libjpeg62-turbo-dev zlib1g-dev libdeflate-dev libtiff-dev libopenjp2-7-dev libexiv2-dev
  libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
  qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev  # the PNG benchmark's reference decoder, never on the conversion path
)

# Independent readers and writers used only by tests, the GUI smoke test and fuzzing.
test_packages=(
  imagemagick netpbm libjpeg-turbo-progs libtiff-tools libopenjp2-tools pngcheck
  libimage-exiftool-perl xvfb xdotool clang libclang-rt-14-dev
  x11-common  # the X11 color database (rgb.txt) netpbm's XPM writer takes names from
  python3  # a second, independent reader of the icons we write
)

wanted=("${build_packages[@]}")
if [[ "${1:-}" != "--build-only" ]]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all ${#wanted[@]} packages are installed"
  exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
