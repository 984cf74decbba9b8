#!/usr/bin/env bash
# Draws docs/map-flat.png and docs/map-staircase.png, the README's map art: scikit-image's coffee
# photo (CC0; bench/lib/photos.sh fetches it) cropped to its middle square, made into one flat and
# one staircased map by tesselbox-cli with the perceptual match, each preview shown at twice its
# size; prints each map's mean CIEDE2000 against the cropped photo and its height.
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$TESSELBOX_ROOT"
source bench/lib/photos.sh
ensure_packages build-essential cmake imagemagick
cmake --preset release >/dev/null && cmake --build build/release -j "$JOBS" --target tesselbox-cli >/dev/null
cmake --preset bench -DTESSELBOX_BUILD_QT=OFF >/dev/null && cmake --build build/bench -j "$JOBS" --target quality_tool >/dev/null
fetch_photos
work=build/quality/map-samples
mkdir -p "$work"
convert "$PHOTO_ROOT/${PHOTO_FILE[coffee]}" -colorspace sRGB -filter Box -resize 128x128^ -gravity center \
  -extent 128x128 -depth 8 "$work/coffee.png"
convert "$work/coffee.png" "$work/coffee.ppm"
for mode in flat staircase; do
  build/release/cli/tesselbox-cli convert -q "$work/coffee.png" --map "$mode" --match perceptual \
    -o "$work/coffee-$mode.litematic" --preview "$work/coffee-$mode.png"
  convert "$work/coffee-$mode.png" -background white -flatten "$work/coffee-$mode.ppm"
  read -r plain _ < <(build/bench/bench/quality_tool measure "$work/coffee.ppm" "$work/coffee-$mode.ppm")
  height=$(sed -n 's/.*, 128 x \([0-9]*\) x 129 blocks.*/\1/p' "$work/coffee-$mode-maps.txt")
  echo "$mode: mean CIEDE2000 $plain, height $height"
  convert "$work/coffee-$mode.png" -filter point -resize 256x256 -strip "docs/map-$mode.png"
done
