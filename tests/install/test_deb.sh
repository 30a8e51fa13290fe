#!/usr/bin/env bash
# Builds the Debian package with CPack into a scratch folder and looks into it: its name,
# its control fields (dependencies from dpkg-shlibdeps plus the run-time pieces no library
# names, and no build tools), its files (the program, private libraries, images, desktop
# files, manual), and lintian's verdict (no errors) where lintian is installed.
# Built for another processor (ARCH and its Debian ROOT given), the package is then installed
# into that root with dpkg, which checks that every dependency is there, and run from it under
# qemu: the installed program draws what the built one draws.
# usage: test_deb.sh BUILD VERSION [ARCH ROOT]
set -euo pipefail
build=$(realpath "$1") version=$2 arch=${3:-} root=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "test_deb: FAIL: $*"; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "test_deb: SKIPPED: $tool is not installed (Debian: dpkg-dev)"; exit 77; }
done
[[ -n "$arch" ]] || arch=$(dpkg --print-architecture)
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || fail "cpack: $(tail -n 5 "$work/cpack.log")"
deb="$work/veltora_${version}_${arch}.deb"
[[ -f "$deb" ]] || fail "no $(basename "$deb"); cpack made: $(ls "$work")"

field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == veltora ]] || fail "Package: $(field Package)"
[[ "$(field Version)" == "$version" ]] || fail "Version: $(field Version)"
[[ "$(field Architecture)" == "$arch" ]] || fail "Architecture: $(field Architecture), dpkg says $arch"
[[ -n "$(field Maintainer)" && -n "$(field Description)" && "$(field Section)" == graphics ]] || fail "Maintainer, Description or Section"
# One home page for the package and the software centres.
homepage=$(sed -n 's#.*<url type="homepage">\(.*\)</url>.*#\1#p' "$(dirname "$0")/../../data/org.veltora.Veltora.metainfo.xml")
[[ -n "$homepage" && "$(field Homepage)" == "$homepage" ]] || fail "Homepage: $(field Homepage), the metainfo says '$homepage'"
depends=$(field Depends)
names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ |].*//')
# Found by dpkg-shlibdeps in the libraries the program and the platform link.
for want in libc6 libstdc++6 libsdl2-2.0-0 libgstreamer1.0-0 libpixman-1-0 libpng16-16 libcairo2 libjpeg62-turbo libgif7; do
  grep -qxF "$want" <<<"$names" || fail "Depends lacks $want: $depends"
done
# Named by no library, needed at run time.
for want in fonts-dejavu-core gstreamer1.0-plugins-base gstreamer1.0-plugins-good; do
  grep -qxF "$want" <<<"$names" || fail "Depends lacks $want: $depends"
done
bad=$(grep -E -- '-dev$|^(cmake|build-essential|gcc|g\+\+|pkg-config|googletest|xvfb|xdotool|imagemagick|lintian|dpkg-dev)$' <<<"$names" || true)
[[ -z "$bad" ]] || fail "Depends names build or test tools: $bad"
# None of the private libraries' own names leak into Depends.
grep -qE '^(libosp|libVeltora|libveltora)' <<<"$names" && fail "Depends names a library of the package itself: $depends"

dpkg-deb -c "$deb" | awk '{print $1, $6}' >"$work/contents"
has() { grep -qE " \\./usr/$1\$" "$work/contents" || fail "the package has no /usr/$1"; }
has bin/veltora
has bin/veltora-readings
has lib/veltora/libVeltora.so
has lib/veltora/libosp.so
has lib/veltora/libveltora_device.so
has share/veltora/Res/velt.png
has share/applications/org.veltora.Veltora.desktop
has share/metainfo/org.veltora.Veltora.metainfo.xml
has share/icons/hicolor/scalable/apps/org.veltora.Veltora.svg
has share/icons/hicolor/256x256/apps/org.veltora.Veltora.png
has share/man/man1/veltora.1.gz
has share/doc/veltora/copyright
has share/doc/veltora/changelog.gz
grep -vE ' \./usr/' "$work/contents" | grep -vE ' \./$' && fail "files outside /usr"
grep -qE '^-rwxr-xr-x \./usr/bin/veltora$' "$work/contents" || fail "bin/veltora's mode: $(grep 'usr/bin/veltora$' "$work/contents")"

# The program as packaged: stripped, its private libraries found relative to it.
mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"
for f in usr/bin/veltora usr/lib/veltora/libosp.so; do
  readelf -S "$work/root/$f" | grep -qF '.symtab' && fail "$f is not stripped"
done
runpath=$(readelf -d "$work/root/usr/bin/veltora" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[[ "$runpath" == '$ORIGIN/../lib/veltora' ]] || fail "bin/veltora's RUNPATH is '$runpath'"
grep -rlF "$build" "$work/root" && fail "packaged files name the build folder $build"

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
  cat "$work/lintian.txt"
  grep -q '^E: ' "$work/lintian.txt" && fail "lintian reports errors"
else
  echo "test_deb: lintian is not installed: its check is left out"
fi
echo "test_deb: $(basename "$deb"): fields, dependencies and contents as they should be"
[[ -n "$root" ]] || exit 0

# Installed into the target's root as dpkg installs any package (a dependency missing there
# fails it), run from there under qemu, and taken out again.
root=$(realpath "$root")
command -v qemu-aarch64-static >/dev/null || fail "qemu-aarch64-static is not installed (scripts/install-cross-deps.sh)"
trap 'dpkg --root="$root" --force-not-root --purge veltora >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg --root="$root" --force-not-root -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg cannot install the package into $root: $(tail -n 5 "$work/dpkg.log")"
[[ "$(dpkg-query --root="$root" -W -f '${Status} ${Architecture}' veltora)" == "install ok installed $arch" ]] ||
  fail "dpkg does not record veltora as installed in $root"
run() { # what PNG: veltora's headless run under qemu with the root's libraries
  (cd "$work" && QEMU_LD_PREFIX="$root" qemu-aarch64-static "$1" --headless --seconds 1 --screenshot "$2" >"$2.log" 2>&1) ||
    fail "$1 failed under qemu: $(tail -n 3 "$2.log")"
}
run "$root/usr/bin/veltora" "$work/installed.png"
run "$build/bin/veltora" "$work/built.png"
size=$(od -An -tu4 --endian=big -j16 -N8 "$work/installed.png" | awk '{print $1 "x" $2}')
[[ "$(head -c 8 "$work/installed.png" | od -An -tx1 | tr -d ' ')" == 89504e470d0a1a0a && "$size" == 800x480 ]] ||
  fail "the installed program's screenshot is not an 800x480 PNG (${size})"
cmp -s "$work/installed.png" "$work/built.png" || fail "the installed program draws other pixels than the built one"
echo "test_deb: installed into $root by dpkg, its dependencies there; it runs under qemu and draws as built"
