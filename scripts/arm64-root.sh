#!/usr/bin/env bash
# Makes the arm64 Debian root that the cross build compiles against and qemu runs the tests in.
# Usage: scripts/arm64-root.sh ROOT. Reuses ROOT when it was made from the same package list.
set -euo pipefail
root=${1:?usage: arm64-root.sh ROOT}

# What scripts/install-deps.sh installs for building and testing, less the tools that run on the host.
packages=(
  libc6-dev libstdc++-12-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev libpng-dev libjpeg62-turbo-dev libgif-dev libstb-dev
  libcairo2-dev fonts-dejavu-core
  libsdl2-dev libx11-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-libcamera
)
stamp="$root/.veltora-root"
want="bookworm arm64 ${packages[*]}"
if [[ -f "$stamp" && "$(cat "$stamp")" == "$want" ]]; then
  exit 0
fi

# Unpacked only: nothing in the root is ever run but the tests, through qemu, so no
# package needs configuring and no binfmt registration is needed on the host.
echo "arm64-root: making $root (downloads from Debian's mirror once)"
rm -rf "$root"
mkdir -p "$(dirname "$root")"
inc=$(IFS=,; echo "${packages[*]}")
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
mmdebstrap --quiet --mode=root --variant=extract --architectures=arm64 --include="$inc" \
  --skip=check/qemu bookworm "$root.tmp" "${mirror:-http://deb.debian.org/debian}"
mv "$root.tmp" "$root"
echo "$want" > "$stamp"
