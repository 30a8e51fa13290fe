#!/usr/bin/env bash
# The metainfo's screenshots are Veltora's own: each script in data/screenshots renders,
# headless, into a picture of the size the metainfo gives for it, and each picture the
# metainfo names has its script.
set -euo pipefail
veltora=$1 data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "test_screenshots: FAIL: $*"; exit 1; }
metainfo="$data/org.veltora.Veltora.metainfo.xml"
named=$(grep -o '<image[^>]*>[^<]*</image>' "$metainfo")
[[ -n "$named" ]] || fail "the metainfo names no screenshot"
count=0
while read -r line; do
  name=$(sed -E 's#.*/([^/<]+)\.png</image>#\1#' <<<"$line")
  want=$(sed -E 's#.*width="([0-9]+)" height="([0-9]+)".*#\1x\2#' <<<"$line")
  script="$data/screenshots/$name.txt"
  [[ -f "$script" ]] || fail "the metainfo names $name.png, but there is no $script"
  (cd "$work" && "$veltora" --headless --script "$script" --screenshot "$work/$name.png" >"$work/$name.log" 2>&1) ||
    fail "$name: veltora failed: $(tail -n 3 "$work/$name.log")"
  # A PNG's width and height: the first two big-endian words of its header chunk.
  got=$(od -An -tu4 --endian=big -j16 -N8 "$work/$name.png" | awk '{print $1 "x" $2}')
  [[ "$got" == "$want" ]] || fail "$name.png is $got, the metainfo says $want"
  count=$((count + 1))
done <<<"$named"
scripts=$(ls "$data"/screenshots/*.txt | wc -l)
[[ $scripts -eq $count ]] || fail "$scripts scripts, but the metainfo names $count screenshots"
echo "test_screenshots: $count screenshots rendered at the metainfo's sizes"
