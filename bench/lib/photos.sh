# The photographs the benches measure on: astronaut.png (NASA, public domain), chelsea.png and
# coffee.png (CC0, by their photographers), rocket.jpg (SpaceX, public domain), the sample data of
# scikit-image as Debian 12 ships it in the package python3-skimage (0.19.3-8). The package is only
# downloaded and unpacked into build/quality, not installed.
# Sourced after scripts/lib/common.sh.

PHOTOS=(astronaut.png chelsea.png coffee.png rocket.jpg)
PHOTO_DIR="$TESSELBOX_ROOT/build/quality/skimage/usr/lib/python3/dist-packages/skimage/data"

fetch_photos() {
  [ -f "$PHOTO_DIR/rocket.jpg" ] && return
  say "fetching the photos (python3-skimage, downloaded and unpacked, not installed)"
  local into="$TESSELBOX_ROOT/build/quality"
  mkdir -p "$into"
  (cd "$into" && rm -f python3-skimage_*.deb && apt-get download python3-skimage >/dev/null)
  dpkg-deb -x "$into"/python3-skimage_*.deb "$into/skimage"
}

# shrink_photo PHOTO SIZE OUT.ppm: fitted into SIZE x SIZE with a box filter, as the window does.
shrink_photo() {
  convert "$PHOTO_DIR/$1" -colorspace sRGB -filter Box -resize "$2x$2" -depth 8 "$3"
}
