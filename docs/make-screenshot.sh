#!/usr/bin/env bash
# Rebuilds docs/screenshot-linux.png: paints a landscape with ImageMagick (no outside photo), opens
# it in the window under Xvfb, agrees to fit it into 300 x 300 and captures the window.
# usage: docs/make-screenshot.sh [TESSELBOX]   (default build/release/qt/tesselbox)
# needs: imagemagick xvfb xdotool x11-utils fonts-wqy-microhei
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tesselbox=$(realpath "${1:-$root/build/release/qt/tesselbox}")
convert=/usr/bin/convert  # ImageMagick itself
work=$(mktemp -d)
started=()
cleanup() { for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
cd "$work"

# A sky, a sun, far hills, near grass and a lake; the plasma textures have fixed seeds.
size=480x320
$convert -size $size gradient:'#3d7fd6-#f6d9a8' sky.png
$convert -size $size xc:none -fill '#fff4c0' -draw 'circle 370,80 370,108' -blur 0x5 sun.png
layer() {  # layer NAME SEED DARK LIGHT BLUR SHAPE: a plasma texture cut to a drawn shape
  $convert -seed "$2" -size $size plasma:fractal -blur "0x$5" -colorspace gray \
    +level-colors "$3","$4" "$1-fill.png"
  $convert -size $size xc:black -fill white -draw "$6" -blur 0x1 "$1-mask.png"
  $convert "$1-fill.png" "$1-mask.png" -alpha off -compose CopyOpacity -composite "$1.png"
}
layer far 3 '#5d7f93' '#8aa6b5' 2 "path 'M 0,200 Q 80,120 170,180 T 330,150 T 480,170 L 480,320 L 0,320 Z'"
layer near 11 '#1d4f1f' '#7cc24f' 1 "path 'M 0,250 Q 120,190 240,235 T 480,215 L 480,320 L 0,320 Z'"
layer lake 5 '#24609e' '#8cc3ea' 3 "ellipse 330,292 110,18 0,360"
$convert sky.png sun.png -composite far.png -composite near.png -composite lake.png -composite \
  -quality 92 scene.jpg

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>display 2>/dev/null &
started+=($!)
for _ in $(seq 100); do [ -s display ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 display)" QT_QPA_PLATFORM=xcb
cp "$root/Colors.txt" .
"$tesselbox" &
started+=($!)

find_window() {  # find_window TITLE [NOT_ID]
  for _ in $(seq 200); do
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
      [ "$id" != "${2:-}" ] && { echo "$id"; return; }
    done
    sleep 0.1
  done
  echo "no window $1" >&2; exit 1
}
window=$(find_window Tesselbox)
xdotool mousemove --window "$window" 266 347 click 1          # 选择图片
dialog=$(find_window Open)
xdotool windowfocus --sync "$dialog" type --delay 10 "$work/scene.jpg"
xdotool key Return
question=$(find_window Tesselbox "$window")                   # fit into 300 x 300?
xdotool windowfocus --sync "$question" key y
sleep 1
xdotool mousemove 0 0
import -window "$window" "$root/docs/screenshot-linux.png"
echo "wrote docs/screenshot-linux.png"
