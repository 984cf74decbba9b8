#!/usr/bin/env bash
# Interop.MapArt: map art made by tesselbox-cli of tiny cases and of a real photo (2 x 2 maps),
# flat, staircase and valley, as .litematic and .nbt with the map items; check-maps.js reads
# every map's file alone and compares the map its blocks draw with the preview, and checks that
# the blocks stay as placed, in a .mcstructure too.
set -euo pipefail
cli=$1 photo=$2 node=$3
source "$(dirname "$0")/need-reader.sh"
"$node" "$here/check-maps.js" tiny "$out/tiny.png"
make() {  # make NAME PICTURE EXT MAPS OPTIONS...
  local folder=$out/$1
  mkdir -p "$folder"
  "$cli" convert -q "$2" -o "$folder/art.$3" --preview "$folder/preview.png" --map-item --maps "$4" "${@:5}"
}
for mode in flat staircase valley; do
  for ext in litematic nbt; do
    make "tiny-$mode-$ext" "$out/tiny.png" "$ext" 1x1 --map "$mode"
    "$node" "$here/check-maps.js" check "$out/tiny-$mode-$ext" "$ext" 1 1 "$out/tiny.png"
    make "photo-$mode-$ext" "$photo" "$ext" 2x2 --map "$mode"
    "$node" "$here/check-maps.js" check "$out/photo-$mode-$ext" "$ext" 2 2
  done
done
make tiny-staircase-mcstructure "$out/tiny.png" mcstructure 1x1 --map staircase
"$node" "$here/check-maps.js" bedrock "$out/tiny-staircase-mcstructure/art.mcstructure"
# Dithered and perceptual: the shades the matching picks are still the shades the blocks draw.
make photo-staircase-dithered "$photo" litematic 2x1 --map staircase --match perceptual --dither floyd-steinberg
"$node" "$here/check-maps.js" check "$out/photo-staircase-dithered" litematic 2 1
