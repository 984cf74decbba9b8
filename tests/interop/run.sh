#!/usr/bin/env bash
# Interop.PrismarineNbt: writes the samples, then reads them with prismarine-nbt. The modules come
# from `npm ci --prefix tests/interop` (scripts/test runs it); without them the test is skipped,
# or fails when TESSELBOX_REQUIRE_INTEROP is set.
set -euo pipefail
writer=$1 colors=$2 node=$3
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -d "$here/node_modules/prismarine-nbt" ]; then
  echo "prismarine-nbt is not installed: run npm ci --prefix tests/interop"
  [ -n "${TESSELBOX_REQUIRE_INTEROP:-}" ] && exit 1
  exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$writer" "$colors" "$out"
"$node" "$here/check-block-files.js" "$out"
