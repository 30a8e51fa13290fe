#!/usr/bin/env bash
# Prints the Debian dependencies of ELF files built for another processor, from the shlibs
# that the target's Debian root records (scripts/arm64-root.sh records them), as dpkg-shlibdeps
# does from this machine's own packages. Libraries the files find beside themselves (the
# package's own) are left out.
# Usage: shlibs-depends.sh ROOT ELF...
set -euo pipefail
root=${1:?usage: shlibs-depends.sh ROOT ELF...}
shift
info="$root/var/lib/dpkg/info"
compgen -G "$info/*.shlibs" >/dev/null || { echo "shlibs-depends: $root records no shlibs (make it with scripts/arm64-root.sh)" >&2; exit 1; }

own=()
for f in "$@"; do own+=("$(basename "$f")"); done
deps=()
for soname in $(for f in "$@"; do readelf -d "$f" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; done | sort -u); do
  printf '%s\n' "${own[@]}" | grep -qxF "$soname" && continue
  # libfoo.so.1 is named "libfoo 1" in shlibs, libfoo-2.0.so "libfoo 2.0".
  if [[ "$soname" =~ ^(.*)\.so\.(.*)$ ]] || [[ "$soname" =~ ^(.*)-([0-9].*)\.so$ ]]; then
    name=${BASH_REMATCH[1]} version=${BASH_REMATCH[2]}
  else
    echo "shlibs-depends: cannot read the library name $soname" >&2; exit 1
  fi
  dep=$(awk -v n="$name" -v v="$version" '$1 == n && $2 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print; exit }' "$info"/*.shlibs)
  [[ -n "$dep" ]] || { echo "shlibs-depends: no package in $root provides $soname" >&2; exit 1; }
  deps+=("$dep")
done
printf '%s\n' "${deps[@]}" | sort -u | paste -sd, - | sed 's/,/, /g'
