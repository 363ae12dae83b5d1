#!/bin/sh
# Makes the pictures of the quality table beside the photo corpus: real
# photographs and an artwork from Debian's lomiri-wallpapers packages (the
# corpus uses other files of them), resized with Lanczos to 1.5-4.5 MP and
# written as 24-bit BMP, and one of them reduced to 226 colours (ImageMagick's
# own quantizer with its dither), the picture of at most 256 colours.
#
#   make_quality_pictures.sh DIR
#
# Installs the packages it needs when they are missing (apt-get, as root).
# Same packages and ImageMagick, same files.
set -eu

OUT=${1:?usage: make_quality_pictures.sh DIR}
mkdir -p "$OUT"
IM=convert-im6.q16  # by its Debian name: no wrapper earlier on PATH stands in for it

missing=""
for p in lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 imagemagick; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing" >&2
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q $missing >&2
fi

src() { dpkg -L "$1" | grep "/$2\$" | head -n 1; }

# name  package  file  WxH  [extra ImageMagick options]
make_one() {
  name=$1 pkg=$2 file=$3 geom=$4; shift 4
  [ -s "$OUT/$name.bmp" ] && return 0
  in=$(src "$pkg" "$file")
  [ -n "$in" ] || { echo "missing $file in $pkg" >&2; exit 1; }
  echo "make $name <- $file ($geom)" >&2
  $IM -limit thread 1 "$in" -colorspace sRGB -strip -filter Lanczos -resize "$geom!" "$@" \
      -depth 8 -type TrueColor "BMP3:$OUT/$name.bmp.tmp"
  mv "$OUT/$name.bmp.tmp" "$OUT/$name.bmp"
}

P16=lomiri-wallpapers-16.04
make_one brushes    $P16 Picture_1A_by_freespace.jpg             1365x1074
make_one fig        $P16 Picture_0B_by_freespace.jpg             2572x1740
make_one dogs       $P16 friends_by_Aitzol_Berasategi.jpg        1600x2403
make_one mountains  $P16 picosdeeuropa_by_Aitzol_Berasategi.jpg  2448x1836
make_one dragonfly  $P16 Dragonfly_by_Bolly.jpg                  2112x1584
make_one bridge     $P16 Bridge_by_Sander_Klootwijk.jpg          2176x1224
make_one wine       $P16 Wine_by_Jakkub_Mede.jpg                 1280x1919
make_one painting   lomiri-wallpapers-20.04 Painting-Colors_by__herobrine7gamer.jpg 2400x1600
make_one brushes-226 $P16 Picture_1A_by_freespace.jpg            1024x806 -colors 226
