#!/usr/bin/env bash
# Draws docs/sample.png, the picture the README's command-line example converts: a made-up
# landscape (sky, sun, hills, a tree, a path) with a cloudy texture so it converts like a photo.
# Needs ImageMagick 6; the fixed seed makes the same picture every time.
set -euo pipefail
cd "$(dirname "$0")"
convert -seed 11 -size 400x300 gradient:'#3f76c9'-'#d8ecf7' \
  \( -size 400x300 plasma:'#e8e8f0'-'#8fa8c8' -blur 0x6 \) -compose softlight -composite \
  -fill '#fff2b0' -draw 'circle 300,72 300,44' \
  -fill '#4f7d3a' -draw 'path "M 0,190 C 80,150 160,170 230,200 C 300,230 360,170 400,180 L 400,300 L 0,300 Z"' \
  -fill '#2f5a2a' -draw 'path "M 0,240 C 90,210 200,220 260,250 C 320,280 380,240 400,250 L 400,300 L 0,300 Z"' \
  -fill '#7a5230' -draw 'rectangle 96,170 104,215' -fill '#2c6b2f' -draw 'circle 100,160 100,132' \
  -fill '#c9b26a' -draw 'path "M 170,300 C 190,260 230,240 250,232 L 262,236 C 245,250 215,270 205,300 Z"' \
  \( -size 400x300 plasma:'#808080'-'#808080' -colorspace gray -blur 0x0.6 \) -compose overlay -composite \
  -blur 0x0.8 -depth 8 -strip sample.png
