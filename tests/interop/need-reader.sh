# Sourced by the interop scripts: the reader's modules come from `npm ci --prefix tests/interop`
# (scripts/test runs it). Without them the test is skipped (77), or fails when
# TESSELBOX_REQUIRE_INTEROP is set. Leaves a temporary folder in $out, removed on exit.
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -d "$here/node_modules/prismarine-nbt" ]; then
  echo "prismarine-nbt is not installed: run npm ci --prefix tests/interop"
  [ -n "${TESSELBOX_REQUIRE_INTEROP:-}" ] && exit 1
  exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
