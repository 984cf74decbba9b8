# The photographs the benches measure on, of different kinds, each from a Debian 12 package that is
# only downloaded and unpacked into build/quality/packages, never installed:
#   python3-skimage 0.19.3-8 (scikit-image's sample data):
#     astronaut   astronaut.png, a portrait in a spacesuit (NASA, public domain)
#     chelsea     chelsea.png, a cat's fur (CC0, by its photographer)
#     coffee      coffee.png, a cup on a table (CC0, by its photographer)
#     rocket      rocket.jpg, a launch against the sky (SpaceX, public domain)
#     hubble      hubble_deep_field.jpg, galaxies on a black sky (NASA, public domain)
#   mate-backgrounds 1.26.0-1 (all GPL-2+):
#     meadow      nature/GreenMeadow.jpg, saturated green grass (Timothy Schellhase, Lapo Calamandrei)
#     flower      nature/FreshFlower.jpg, a saturated orange flower (Jens Ansorg)
#     storm       nature/Storm.jpg, dark storm clouds over a road (Sergey Nazarov)
#   lomiri-wallpapers-16.04 20.04.0-2:
#     ivy         Dragonfly_by_Bolly.jpg, leaves against a blue sky (Bolly, CC-BY-SA-4.0)
#     fig         Picture_0B_by_freespace.jpg, a fig in a red bowl (Trevor "Freespace", CC-BY-4.0)
#     brushes     Picture_1A_by_freespace.jpg, saturated paint brushes (Trevor "Freespace", CC-BY-4.0)
#     mountains   picosdeeuropa_by_Aitzol_Berasategi.jpg, peaks, snow and sky (Aitzol Berasategi,
#                 CC-BY-4.0)
#     sunset      sunset_by_Aitzol_Berasategi.jpg, the sun low over hills (Aitzol Berasategi, CC-BY-4.0)
#   lomiri-wallpapers-20.04 20.04.0-2 (CC-BY-SA-3.0):
#     night       Infinite-Sea_by_Aury88.jpg, the Milky Way over the sea at night (Aury88)
#     bark        Kleiber_by_Lukas_Baubkus.jpg, a nuthatch on tree bark (Lukas Baubkus)
# Sourced after scripts/lib/common.sh.

PHOTOS=(astronaut chelsea coffee rocket hubble meadow flower storm ivy fig brushes mountains sunset
        night bark)
PHOTO_PACKAGES=(python3-skimage=0.19.3-8 mate-backgrounds=1.26.0-1
                lomiri-wallpapers-16.04=20.04.0-2 lomiri-wallpapers-20.04=20.04.0-2)
PHOTO_ROOT="$TESSELBOX_ROOT/build/quality/packages"
declare -A PHOTO_FILE=(
  [astronaut]=python3-skimage/usr/lib/python3/dist-packages/skimage/data/astronaut.png
  [chelsea]=python3-skimage/usr/lib/python3/dist-packages/skimage/data/chelsea.png
  [coffee]=python3-skimage/usr/lib/python3/dist-packages/skimage/data/coffee.png
  [rocket]=python3-skimage/usr/lib/python3/dist-packages/skimage/data/rocket.jpg
  [hubble]=python3-skimage/usr/lib/python3/dist-packages/skimage/data/hubble_deep_field.jpg
  [meadow]=mate-backgrounds/usr/share/backgrounds/mate/nature/GreenMeadow.jpg
  [flower]=mate-backgrounds/usr/share/backgrounds/mate/nature/FreshFlower.jpg
  [storm]=mate-backgrounds/usr/share/backgrounds/mate/nature/Storm.jpg
  [ivy]=lomiri-wallpapers-16.04/usr/share/backgrounds/Dragonfly_by_Bolly.jpg
  [fig]=lomiri-wallpapers-16.04/usr/share/backgrounds/Picture_0B_by_freespace.jpg
  [brushes]=lomiri-wallpapers-16.04/usr/share/backgrounds/Picture_1A_by_freespace.jpg
  [mountains]=lomiri-wallpapers-16.04/usr/share/backgrounds/picosdeeuropa_by_Aitzol_Berasategi.jpg
  [sunset]=lomiri-wallpapers-16.04/usr/share/backgrounds/sunset_by_Aitzol_Berasategi.jpg
  [night]=lomiri-wallpapers-20.04/usr/share/backgrounds/Infinite-Sea_by_Aury88.jpg
  [bark]=lomiri-wallpapers-20.04/usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg
)

fetch_photos() {
  local pinned package
  for pinned in "${PHOTO_PACKAGES[@]}"; do
    package=${pinned%%=*}
    [ -d "$PHOTO_ROOT/$package" ] && continue
    say "fetching $pinned for its photos (downloaded and unpacked, not installed)"
    mkdir -p "$PHOTO_ROOT"
    (cd "$PHOTO_ROOT" && rm -f "${package}"_*.deb && apt-get download "$pinned" >/dev/null)
    dpkg-deb -x "$PHOTO_ROOT/${package}"_*.deb "$PHOTO_ROOT/$package.part"
    mv "$PHOTO_ROOT/$package.part" "$PHOTO_ROOT/$package"
    rm -f "$PHOTO_ROOT/${package}"_*.deb
  done
}

# shrink_photo NAME SIZE OUT.ppm: fitted into SIZE x SIZE with a box filter, as the window does.
shrink_photo() {
  convert "$PHOTO_ROOT/${PHOTO_FILE[$1]}" -colorspace sRGB -filter Box -resize "$2x$2" -depth 8 "$3"
}
