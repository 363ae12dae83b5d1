#!/usr/bin/env bash
# A batch under a 1 GiB address-space limit with a plain 24-bit BMP of
# 10000 x 10000 pixels, an 8-bit one of 20000 x 20000 (sparse files: a real
# header, the pixels never written) and a PNG claiming that size between small
# ones: the small ones convert, and so does the plain BMP (never held whole);
# each other large one is reported as a failure of its own (the PNG, read band
# by band too, for the rows it lacks), nothing crashes
# and nothing is left behind. Then the plain BMP alone, to an 8-bit BMP and to
# a JPEG, under 256 MiB: whole, its 100 million pixels alone would take 400 MiB.
#   memory_limit.sh PIXOLUNE_CLI SAMPLES_FOLDER
set -euo pipefail
cli=$1 samples=$2
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/out"

# An uncompressed BMP header for width x height at bpp (8 bits: a grey table).
huge_bmp() {
  local file=$1 width=$2 height=$3 bpp=$4
  python3 - "$file" "$width" "$height" "$bpp" <<'PY'
import struct, sys
path, w, h, bpp = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
table = b"".join(bytes((i, i, i, 0)) for i in range(256)) if bpp == 8 else b""
stride = (w * bpp + 31) // 32 * 4
offset = 14 + 40 + len(table)
with open(path, "wb") as f:
    f.write(struct.pack("<2sIHHI", b"BM", (offset + stride * h) & 0xFFFFFFFF, 0, 0, offset))
    f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, 0, 2835, 2835, 0, 0))
    f.write(table)
    f.truncate(offset + stride * h)
PY
}
# A PNG whose header claims width x height, with a few rows of pixel data.
huge_png() {
  python3 - "$1" "$2" "$3" <<'PY'
import struct, sys, zlib
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
rows = zlib.compress(b"\0" * (1 + 3 * w) * 4)
with open(path, "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", rows) + chunk(b"IEND", b""))
PY
}
huge_png "$work/in/huge.png" 20000 20000
huge_bmp "$work/in/huge-24bit.bmp" 10000 10000 24
huge_bmp "$work/in/huge-8bit.bmp" 20000 20000 8
cp "$samples/photo.bmp" "$samples/rings-8bit.bmp" "$samples/drawing-1bit.bmp" "$work/in/"

limited() { local mib=$1 && shift && ( ulimit -v $((mib * 1024)) && exec "$cli" -j 2 "$@" ); }
status=0
limited 1024 -o "$work/out" \
    "$work/in/photo.bmp" "$work/in/huge-24bit.bmp" "$work/in/rings-8bit.bmp" \
    "$work/in/huge-8bit.bmp" "$work/in/huge.png" "$work/in/drawing-1bit.bmp" \
  >"$work/stdout" 2>"$work/stderr" || status=$?
cat "$work/stdout" "$work/stderr"
tight_status=0
for type in bmp jpg; do
  limited 256 -t $type -o "$work/out" "$work/in/huge-24bit.bmp" || tight_status=$?
done

fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, expected 1 (some files failed)"
[ "$tight_status" -eq 0 ] || fail "huge-24bit.bmp under 256 MiB: exit status $tight_status"
written=$(cd "$work/out" && ls -A | tr '\n' ' ')
[ "$written" = "drawing-1bit-reduced.bmp huge-24bit-reduced.bmp huge-24bit-reduced.jpg photo-reduced.bmp rings-8bit-reduced.bmp " ] ||
  fail "output folder holds: $written"
# A plain BMP is read, dithered and written or encoded band by band: its size
# needs no more memory than a few bands (and the JPEG's bytes).
[ "$(stat -c %s "$work/out/huge-24bit-reduced.bmp")" -eq $((1078 + 10000 * 10000)) ] ||
  fail "huge-24bit-reduced.bmp is not the 8-bit BMP of 10000 x 10000 pixels"
[ "$(head -c 3 "$work/out/huge-24bit-reduced.jpg" | od -An -tx1 | tr -d ' ')" = ffd8ff ] ||
  fail "huge-24bit-reduced.jpg is not a JPEG file"
left=$(cd "$work/in" && ls -A | tr '\n' ' ')
[ "$left" = "drawing-1bit.bmp huge-24bit.bmp huge-8bit.bmp huge.png photo.bmp rings-8bit.bmp " ] ||
  fail "input folder holds: $left"
# The loader's own refusal of a size, or the memory that is not there.
for huge in huge-8bit.bmp huge.png; do
  grep -qE "^pixolune-cli: $work/in/$huge: (out of memory|cannot decode it: )" "$work/stderr" ||
    fail "$huge is not reported as a picture that cannot be loaded"
done
# The PNG needs no more memory than a band: what stops it is its missing rows.
grep -qF "pixolune-cli: $work/in/huge.png: cannot decode it: the decoder found data missing" \
  "$work/stderr" || fail "huge.png: not refused for its missing rows"
