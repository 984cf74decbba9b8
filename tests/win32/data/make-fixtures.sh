#!/usr/bin/env bash
# Makes the pictures the Windows platform tests decode. Run by hand; the results are committed.
set -euo pipefail
cd "$(dirname "$0")"

# 4 x 3 RGBA, row by row from the top: opaque colors, a transparent pixel with color, half alpha.
convert -size 4x3 -depth 8 rgba:- -define png:color-type=6 -strip rgba-4x3.png < <(printf '%b' \
  '\xff\x00\x00\xff' '\x00\xff\x00\xff' '\x00\x00\xff\xff' '\x10\x20\x30\xff' \
  '\x00\x00\x00\xff' '\x12\x34\x56\x00' '\xff\xff\xff\x80' '\x64\xc8\x00\x80' \
  '\x01\x02\x03\xff' '\xfe\xfd\xfc\xff' '\x80\x80\x80\xff' '\xff\xff\xff\xff')
convert rgba-4x3.png -alpha off -type TrueColor BMP3:rgb-4x3.bmp

# An 8 x 4 JPEG, left half red and right half blue, stored with each EXIF orientation we test.
convert -size 4x4 xc:red -size 4x4 xc:blue +append -strip -quality 95 sideways.jpg
for orientation in 3 6 8; do
  # APP1 "Exif": a little-endian TIFF header and one IFD entry, Orientation (0x0112) = SHORT n.
  { head -c 2 sideways.jpg
    printf '\xff\xe1\x00\x22Exif\x00\x00II*\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00'
    printf "\\x0$orientation\\x00\\x00\\x00\\x00\\x00\\x00\\x00"
    tail -c +3 sideways.jpg; } > "oriented-$orientation.jpg"
done
printf 'this is not a picture\n' > not-a-picture.png
