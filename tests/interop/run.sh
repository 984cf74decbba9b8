#!/usr/bin/env bash
# Interop.PrismarineNbt: writes the samples, then reads them with prismarine-nbt. The modules come
# from `npm ci --prefix tests/interop` (scripts/test runs it); without them the test is skipped,
# or fails when TESSELBOX_REQUIRE_INTEROP is set.
set -euo pipefail
writer=$1 colors=$2 node=$3 cli=${4:-}
source "$(dirname "$0")/need-reader.sh"
"$writer" "$colors" "$out"
"$node" "$here/check-block-files.js" "$out"
# A real photo (300 x 225) through tesselbox-cli as structure files, floor and wall, whole and in
# pieces that divide it unevenly (48, 64) and evenly (75).
if [ -n "$cli" ]; then
  photo=$here/../../docs/sample.png
  convert() { "$cli" convert -q --palette "$colors" "$photo" -o "$out/$1" "${@:2}"; }
  convert art.schematic
  for orientation in floor wall; do
    for ext in nbt mcstructure; do
      convert "art-$orientation-$ext.$ext" --orientation "$orientation"
      for split in 48 64 75; do convert "art-$orientation-$split-$ext.$ext" --orientation "$orientation" --split "$split"; done
    done
  done
  # The modern table names its blocks: the same art for each edition.
  for ext in nbt mcstructure; do "$cli" convert -q --blocks modern "$photo" -o "$out/modern.$ext"; done
  "$node" "$here/check-structures.js" "$out" "$here/../.."
fi
