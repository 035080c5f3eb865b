#!/bin/sh
# Remakes the AVIF pictures of this folder and their references. Needs avifenc (libavif-bin),
# ImageMagick's convert, a C compiler with libaom-dev, and python3.
set -eu
cd "$(dirname "$0")"
tool="python3 ../hdr/pictool.py"
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT

# Sources, and the references made from them (no decoder involved): a grey ramp of 10-bit and
# one of 12-bit levels, a colour card (160x120) and the same card at 320x240.
$tool grey 10 "$t/grey10.png"
$tool grey 12 "$t/grey12.png"
$tool colour "$t/colour16.png"
$tool to8 "$t/grey10.png" grey10.png
$tool to8 "$t/grey12.png" grey12.png
$tool to8 "$t/colour16.png" colour.png
convert colour.png -resize 200% -alpha off PNG24:colour320.png

# Monochrome (4:0:0) in 10 and 12 bits, limited range, and 10 bits full range; lossless quantizer.
avifenc -d 10 -y 400 -r l --min 0 --max 0 "$t/grey10.png" mono10.avif >/dev/null 2>&1
avifenc -d 12 -y 400 -r l --min 0 --max 0 "$t/grey12.png" mono12.avif >/dev/null 2>&1
avifenc -d 10 -y 400 -r f --min 0 --max 0 "$t/grey10.png" mono10-full.avif >/dev/null 2>&1
# Colour in limited range, 4:2:0, 10 and 8 bits.
avifenc -d 10 -y 420 -r l --min 0 --max 4 "$t/colour16.png" colour10-limited.avif >/dev/null
avifenc -d 8 -y 420 -r l --min 0 --max 4 "$t/colour16.png" colour8-limited.avif >/dev/null
# SDR in BT.2020 primaries with the sRGB curve (colour box 9/13/9): the card's values taken as
# BT.2020 ones; its reference is the card turned to sRGB primaries and clipped by pictool.py.
avifenc -d 10 -y 444 --cicp 9/13/9 --min 0 --max 2 "$t/colour16.png" bt2020.avif >/dev/null
$tool bt2020 "$t/colour16.png" bt2020.png
# A grid of 2x2 tiles.
avifenc --grid 2x2 -d 8 -y 444 --min 0 --max 4 colour320.png grid.avif >/dev/null

# A sequence only: three frames (the card, mirrored, inverted); the still picture avifenc also
# writes is turned into a free box and the still-picture brands into sequence brands.
convert colour.png -flop -alpha off PNG24:"$t/f2.png"
convert colour.png -negate -alpha off PNG24:"$t/f3.png"
avifenc -d 8 -y 444 --min 0 --max 4 colour.png "$t/f2.png" "$t/f3.png" "$t/sequence.avif" >/dev/null
python3 - "$t/sequence.avif" sequence.avif <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
end = struct.unpack('>I', d[:4])[0]
for i in range(16, end, 4):
    d[i:i + 4] = {b'avif': b'avis', b'mif1': b'msf1'}.get(bytes(d[i:i + 4]), d[i:i + 4])
pos = end
while pos < len(d):
    size, kind = struct.unpack('>I4s', d[pos:pos + 8])
    if kind == b'meta':
        d[pos + 4:pos + 8] = b'free'
    pos += size
open(sys.argv[2], 'wb').write(d)
PY

# Layered (progressive): this avifenc cannot write layers, so layered.c makes the two-layer
# AV1 stream with libaom (layer 0 flat grey, layer 1 the card) and pictool.py puts it into a
# still AVIF of the same card, with the a1lx and lsel boxes.
cc -O2 layered.c -o "$t/layered" $(pkg-config --cflags --libs aom)
convert colour.png -alpha off "ppm:$t/colour.ppm"
sizes=$("$t/layered" "$t/colour.ppm" "$t/layers.obu")
avifenc -d 8 -y 444 --min 0 --max 4 colour.png "$t/template.avif" >/dev/null
$tool layered "$t/layers.obu" "$sizes" "$t/template.avif" layered.avif
