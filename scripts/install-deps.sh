#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Veltora need.
# Prints what it installs; does nothing (and needs no root) when everything is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libpixman-1-dev libpng-dev libjpeg62-turbo-dev libgif-dev libstb-dev libexif-dev
  libcairo2-dev fonts-dejavu-core
  libsdl2-dev libx11-dev libwayland-dev xvfb xauth xdotool imagemagick jq weston
  clang libclang-rt-14-dev clang-format
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-libcamera
  dpkg-dev fakeroot lintian desktop-file-utils appstream xdg-user-dirs
  libopencv-imgproc-dev
  nlohmann-json3-dev
  # Only for their sample photographs, which the corner corpus (tests/data/corners) reads.
  python3-skimage python3-sklearn python-matplotlib-data rust-doc lomiri-wallpapers-16.04
  # GIMP's manual (50 MB) for its tutorials' photographs: a pole's crossarms, a truck's load.
  gimp-help-en
  # Hugin's help (8 MB) for its photo of an office block's windows.
  hugin-data
  # Only for the desktop help's screen recording (a VP8 WebM) that a following test plays.
  gnome-user-docs
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
