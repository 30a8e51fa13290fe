#!/usr/bin/env bash
# Makes the arm64 Debian root that the cross build compiles against and qemu runs the tests in.
# Usage: scripts/arm64-root.sh ROOT. Reuses ROOT when it was made from the same package list.
set -euo pipefail
root=${1:?usage: arm64-root.sh ROOT}

# What scripts/install-deps.sh installs for building and testing, less the tools that run on the host.
packages=(
  libc6-dev libstdc++-12-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev libpng-dev libjpeg62-turbo-dev libgif-dev libstb-dev libexif-dev
  libcairo2-dev fonts-dejavu-core
  libsdl2-dev libx11-dev libwayland-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-libcamera
  libopencv-imgproc-dev nlohmann-json3-dev
)
stamp="$root/.veltora-root"
# The stamp names the package list and how the root is recorded: a root made another way is made anew.
want="bookworm arm64 recorded ${packages[*]}"
if [[ -f "$stamp" && "$(cat "$stamp")" == "$want" ]]; then
  exit 0
fi

# Unpacked only: nothing in the root is ever run but our programs, through qemu, so no
# package needs configuring.
echo "arm64-root: making $root (downloads from Debian's mirror once)"
rm -rf "$root" "$root.tmp"
mkdir -p "$(dirname "$root")"
inc=$(IFS=,; echo "${packages[*]}")
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
mmdebstrap --quiet --mode=root --variant=extract --architectures=arm64 --include="$inc" \
  --skip=check/qemu --skip=cleanup/apt/cache bookworm "$root.tmp" "${mirror:-http://deb.debian.org/debian}"

# Each unpacked package is recorded in the root's own dpkg database, as dpkg records what it
# installs: its control fields, its files and its shared-library dependencies (shlibs). So
# `dpkg --root` can install Veltora's arm64 package there, checking its dependencies, and the
# package's dependencies can be worked out from the root's shlibs. They are recorded as
# installed: every file is in place; only the maintainer scripts, which set up a running
# system, were not run.
db="$root.tmp/var/lib/dpkg"
: >"$db/status"
for deb in "$root.tmp"/var/cache/apt/archives/*.deb; do
  pkg=$(dpkg-deb -f "$deb" Package)
  arch=$(dpkg-deb -f "$deb" Architecture)
  name=$pkg
  [[ "$(dpkg-deb -f "$deb" Multi-Arch)" == same ]] && name=$pkg:$arch
  dpkg-deb -f "$deb" | sed '1a Status: install ok installed' >>"$db/status"
  echo >>"$db/status"
  dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's#^\./#/#; s#/$##; s#^$#/.#' >"$db/info/$name.list"
  dpkg-deb --ctrl-tarfile "$deb" | tar -x -O ./shlibs >"$db/info/$name.shlibs" 2>/dev/null ||
    rm -f "$db/info/$name.shlibs"
done
rm -f "$root.tmp"/var/cache/apt/archives/*.deb
# BLAS and LAPACK (under OpenCV) are found through links that their packages' scripts make with
# update-alternatives: made here as those scripts would make them, to the one implementation there.
for lib in blas/libblas.so.3 lapack/liblapack.so.3; do
  ln -sfn "$lib" "$root.tmp/usr/lib/aarch64-linux-gnu/${lib#*/}"
done
dpkg --root="$root.tmp" --add-architecture arm64
mv "$root.tmp" "$root"
echo "$want" > "$stamp"
