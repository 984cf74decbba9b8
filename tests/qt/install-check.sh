#!/usr/bin/env bash
# cmake --install into a fresh prefix: the program, Colors.txt, the desktop entry (its working
# folder being where Colors.txt went) and the icon.
# usage: install-check.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
[ -x "$prefix/bin/tesselbox" ] || fail "no bin/tesselbox"
cmp -s "$source/Colors.txt" "$prefix/share/tesselbox/Colors.txt" || fail "share/tesselbox/Colors.txt differs"
cmp -s "$source/resources/icon-64.png" "$prefix/share/icons/hicolor/64x64/apps/tesselbox.png" ||
  fail "no 64x64 icon"
entry="$prefix/share/applications/tesselbox.desktop"
[ -f "$entry" ] || fail "no desktop entry"
for line in "Type=Application" "Name=Tesselbox" "Exec=tesselbox" "Icon=tesselbox" \
            "Path=$prefix/share/tesselbox"; do
  grep -qx "$line" "$entry" || fail "the desktop entry lacks $line"
done
echo "ok: installed bin/tesselbox, share/tesselbox/Colors.txt, the desktop entry and the icon"
