#!/usr/bin/env bash
# Installs what cross-building for arm64 and running it under qemu-user needs on the host, and
# lets the kernel run arm64 programs through qemu (the tests start the launcher as a program).
set -euo pipefail

packages=(crossbuild-essential-arm64 mmdebstrap qemu-user-static binfmt-support)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-cross-deps: need root or sudo" >&2; exit 1; }
  sudo=(sudo)
fi
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "install-cross-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [[ ! -e /proc/sys/fs/binfmt_misc/status ]]; then
  "${sudo[@]}" mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc ||
    { echo "install-cross-deps: cannot mount binfmt_misc: arm64 programs cannot be started here" >&2; exit 1; }
fi
if [[ ! -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ]]; then
  "${sudo[@]}" update-binfmts --enable qemu-aarch64 ||
    { echo "install-cross-deps: cannot register qemu-aarch64 with binfmt_misc" >&2; exit 1; }
fi
