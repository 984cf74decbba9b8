#!/usr/bin/env bash
# Interop.ChosenBlocks: tesselbox-cli converts a photo with the modern table for an older game
# version, some blocks left out, and prismarine-nbt reads the .litematic back (check-chosen-blocks.js).
set -euo pipefail
cli=$1 photo=$2 data=$3 node=$4
source "$(dirname "$0")/need-reader.sh"
"$cli" convert -q --blocks modern --match perceptual --mc-version 1.20.1 \
  --exclude falls,wool,minecraft:stone "$photo" -o "$out/art.litematic"
# What the user left out, said without the program's families and flags: the falling blocks
# (sand, gravel, concrete powder), every wool and stone itself.
"$node" "$here/check-chosen-blocks.js" "$out/art.litematic" "$data" 1.20.1 \
  '(^minecraft:(sand|red_sand|gravel|suspicious_sand|suspicious_gravel|stone)$|_concrete_powder$|_wool$)'
