#!/usr/bin/env bash
# cmake --install into a fresh prefix, the prefix then moved elsewhere, and the installed
# veltora run from another folder: it finds its libraries through its relative RUNPATH and
# its images relative to itself, never in the build or source folder.
# usage: test_install.sh BUILD LIBDIR [ROOT]: ROOT, the target's Debian root, when the build
# is for another processor (its programs run through qemu).
set -euo pipefail
build=$(realpath "$1") libdir=$2 root=${3:-}
source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "test_install: FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || fail "cmake --install: $(tail -n 3 "$work/install.log")"
# The install can be moved whole.
mv "$work/prefix" "$work/moved"
p="$work/moved"
for f in bin/veltora bin/veltora-readings "$libdir/veltora/libVeltora.so" "$libdir/veltora/libosp.so" \
         "$libdir/veltora/libveltora_device.so" share/veltora/Res/velt.png share/veltora/Res/info_contents.jpg \
         share/applications/org.veltora.Veltora.desktop share/metainfo/org.veltora.Veltora.metainfo.xml \
         share/icons/hicolor/scalable/apps/org.veltora.Veltora.svg share/icons/hicolor/48x48/apps/org.veltora.Veltora.png \
         share/icons/hicolor/512x512/apps/org.veltora.Veltora.png share/man/man1/veltora.1.gz share/doc/veltora/copyright; do
  [[ -e "$p/$f" ]] || fail "$f was not installed"
done
[[ $(ls "$p/share/veltora/Res" | wc -l) -eq 43 ]] || fail "share/veltora/Res holds $(ls "$p/share/veltora/Res" | wc -l) images, not 43"
# The icon at each of the theme's sizes, each PNG as large as its folder says.
icons=0
for png in "$p"/share/icons/hicolor/*x*/apps/org.veltora.Veltora.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  got=$(od -An -tu4 --endian=big -j16 -N8 "$png" | awk '{print $1 "x" $2}')
  [[ "$got" == "$size" ]] || fail "the icon in $size is $got"
  icons=$((icons + 1))
done
[[ $icons -eq 9 ]] || fail "$icons icon sizes, not 9 (16 to 512)"
grep -q '<svg' "$p/share/icons/hicolor/scalable/apps/org.veltora.Veltora.svg" || fail "the scalable icon is no SVG"
runpath=$(readelf -d "$p/bin/veltora" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[[ "$runpath" == "\$ORIGIN/../$libdir/veltora" ]] || fail "bin/veltora's RUNPATH is '$runpath'"
if [[ -n "$root" ]]; then
  # This machine's ldd cannot read another processor's program: its own loader lists them.
  QEMU_LD_PREFIX="$root" qemu-aarch64-static "$root/lib/ld-linux-aarch64.so.1" --list "$p/bin/veltora" >"$work/ldd.txt"
else
  ldd "$p/bin/veltora" >"$work/ldd.txt"
fi
for lib in libosp.so libveltora_device.so; do
  grep -q "$lib => $p/bin/../$libdir/veltora/$lib" "$work/ldd.txt" || fail "$lib is not loaded from the moved prefix: $(grep "$lib" "$work/ldd.txt")"
done
grep -q "not found" "$work/ldd.txt" && fail "a library is missing: $(grep 'not found' "$work/ldd.txt")"

# From another folder (an empty one, nothing of Veltora's beside it), with the build folder
# out of reach: the images come from the prefix, the run ends cleanly.
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && "$p/bin/veltora" --headless --seconds 1 --screenshot "$work/x.png" --trace "$work/t.jsonl") \
  >"$work/run.log" 2>&1 || fail "the installed veltora failed: $(tail -n 3 "$work/run.log")"
[[ -s "$work/x.png" ]] || fail "no screenshot"
grep -q '"Image::DecodeN"' "$work/t.jsonl" || fail "the trace shows no image decoded"
grep '"Image::DecodeN"' "$work/t.jsonl" | grep -q '"decoded":false' && fail "images could not be read: $(grep -m 3 '"decoded":false' "$work/t.jsonl")"
for dir in "$build" "$source"; do
  grep -qF "$dir" "$work/t.jsonl" "$work/run.log" && fail "the run names $dir"
done
[[ "$("$p/bin/veltora" --version)" == veltora\ * ]] || fail "--version"
# Read whole, then looked at: a reader that stops early is a write failure to the tool.
"$p/bin/veltora-readings" "$work/t.jsonl" >"$work/readings.csv" || fail "the installed veltora-readings failed"
head -n 1 "$work/readings.csv" | grep -q '^time_ms,angle' || fail "the installed veltora-readings"
echo "test_install: installed into a prefix, moved it, and ran it from another folder"
