#!/usr/bin/env bash
# Makes the seed corpus of the fuzz targets (run by hand; the files are kept in
# the repository). Needs ImageMagick. Small pictures in every BMP variant and
# in the other formats the loader reads, plus cut-off copies.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
out=corpus/reduce
rm -rf "$out" && mkdir -p "$out"
src=$(mktemp --suffix=.png) && trap 'rm -f "$src"' EXIT
convert -seed 7 -size 20x14 plasma:red-blue "$src"

convert "$src" -type truecolor BMP3:$out/rgb24.bmp
convert "$src" -type truecolormatte -alpha on BMP:$out/argb32-v5.bmp
convert "$src" -colors 200 -type palette -compress none BMP3:$out/pal8.bmp
convert "$src" -colors 200 -type palette -compress RLE BMP3:$out/pal8-rle.bmp
convert "$src" -colors 12 -type palette BMP3:$out/pal4.bmp
convert "$src" -monochrome BMP3:$out/mono1.bmp
convert "$src" -define bmp:subtype=RGB565 BMP:$out/rgb565.bmp
convert "$src" -define bmp:subtype=RGB555 BMP:$out/rgb555.bmp
convert "$src" -alpha on -define bmp:subtype=ARGB4444 BMP:$out/argb4444.bmp
convert "$src" -type truecolor BMP2:$out/os2-core.bmp
convert "$src" -flip -type truecolor BMP3:$out/rgb24-source.bmp
# Top-down rows: a negative height in the header.
python3 - "$out/rgb24.bmp" "$out/rgb24-topdown.bmp" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
h = struct.unpack_from('<i', data, 22)[0]
struct.pack_into('<i', data, 22, -h)
open(sys.argv[2], 'wb').write(data)
PY
rm "$out/rgb24-source.bmp"

convert "$src" -define png:exclude-chunk=date,time PNG24:$out/rgb.png
convert "$src" -define png:exclude-chunk=date,time -alpha on -channel A -evaluate set 50% PNG32:$out/rgba.png
convert "$src" -define png:exclude-chunk=date,time -colors 16 PNG8:$out/pal.png
convert "$src" -define png:exclude-chunk=date,time -colorspace gray -depth 16 PNG:$out/grey16.png
convert "$src" -colors 32 $out/pal.gif
convert "$src" -resize 16x16! $out/icon.ico
convert "$src" -quality 80 $out/photo.jpg
convert "$src" -quality 80 -interlace JPEG $out/progressive.jpg
convert "$src" -colorspace gray -quality 80 $out/grey.jpg
convert "$src" -resize 16x12! -monochrome XBM:$out/mono.xbm

# Cut-off copies: headers whole, pixels missing.
for f in rgb24.bmp pal8-rle.bmp rgb.png pal.gif photo.jpg icon.ico mono.xbm; do
  size=$(stat -c %s "$out/$f")
  head -c $((size * 2 / 3)) "$out/$f" >"$out/cut-$f"
done
head -c 30 "$out/rgb24.bmp" >"$out/cut-header.bmp"
# A header claiming 20000 x 20000 pixels over a few rows of data.
python3 - "$out/claims-huge.png" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 20000, 20000, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"\0" * 60001 * 4)) + chunk(b"IEND", b""))
PY

out=corpus/cli_options
rm -rf "$out" && mkdir -p "$out"
line() { local name=$1; shift; printf '%s\0' "$@" | head -c -1 >"$out/$name"; }
line plain -o out a.bmp
line jpeg -o out -t jpg -q 85 -e bmp pictures/
line joined -oout -tjpg -q1 -j2 --quiet a.bmp
line long --output=out --type=JPG --quality=100 --extension=png --jobs=4 x
line end -o out -- -a.bmp -
line help --help
line version --version
line bad-quality -o out -q 101 a.bmp
line missing-value -o
line new-flags -o out --tree --skip-larger --verbose --json dir/
