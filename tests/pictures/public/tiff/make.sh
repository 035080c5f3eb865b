#!/bin/sh
# Remakes the TIFFs made here and every reference rendering (ImageMagick 6 with libtiff and
# LittleCMS: 8-bit sRGB PNG, what is transparent laid on white, stood upright).
# Run from this folder. The public libtiff files are copies (SOURCES.txt). The profiles are
# ../cms's, made by make-profiles.c there.
set -eu
ICC=../cms

# The source picture: saturated hues over a plasma, 192 by 128.
if [ ! -f source.png ]; then
    convert -size 64x192 gradient: -rotate 90 \( -size 192x64 xc:white \) \( -size 192x64 gradient:white-gray20 \) \
        -set colorspace HSB -combine -colorspace sRGB \
        \( -size 192x64 -seed 7 plasma:fractal -blur 0x2 \( -size 192x64 gradient:red-blue \) -compose overlay \
           -composite -modulate 100,180 \) -append -depth 8 -strip source.png
fi
alpha() { convert source.png \( source.png -channel R -separate +channel \) -alpha off -compose copyopacity -composite "$@"; }

convert source.png -depth 16 -interlace plane -compress none made-rgb16-planar.tif
convert source.png -depth 16 -interlace plane -define tiff:tile-geometry=64x64 -compress zip made-rgb16-planar-tiled.tif
alpha -depth 16 -interlace plane -compress zip made-rgba16-planar.tif
convert source.png -colorspace gray -depth 16 -compress lzw made-grey16.tif
alpha -colorspace gray -depth 16 -compress zip made-greyalpha16.tif
convert source.png -depth 12 -compress none made-rgb12.tif
convert source.png -depth 32 -compress zip made-rgb32.tif
convert source.png -depth 32 -define quantum:format=floating-point -compress zip made-float32.tif
convert source.png -depth 16 -define quantum:format=floating-point -compress zip made-float16.tif
convert source.png -colorspace gray -threshold 50% -compress fax made-fax-g3.tif
# CMYK through a small press profile (tables A2B0/B2A0, 9 points a side).
convert source.png -profile $ICC/srgb.icc -profile $ICC/press-cmyk-small.icc -compress zip made-cmyk-press.tif
# CIELAB: 8 bits as LittleCMS writes it (D50), 16 bits as ImageMagick does (white point D65).
convert source.png -compress none -depth 8 made-source8.tif
tificc -o'*Lab' made-source8.tif made-lab8-lcms.tif
rm made-source8.tif
convert source.png -colorspace Lab -depth 16 -compress zip made-lab16-im.tif
# Turned by its orientation tag (6: the top row is the right side).
convert source.png -rotate 270 -depth 8 -compress zip -orient RightTop made-orientation6.tif
# What cannot be shown: a 16-bit planar tiled picture whose tiles' compressed data is damaged
# (its directory whole), and signed samples.
python3 - <<'PY'
import struct
d = bytearray(open('made-rgb16-planar-tiled.tif', 'rb').read())
little = d[:2] == b'II'
u16 = lambda at: struct.unpack_from('<H' if little else '>H', d, at)[0]
u32 = lambda at: struct.unpack_from('<I' if little else '>I', d, at)[0]
ifd = u32(4)
for e in range(u16(ifd)):
    at = ifd + 2 + 12 * e
    if u16(at) == 324:  # TileOffsets
        offsets = u32(at + 8)
        for t in range(u32(at + 4)):
            start = u32(offsets + 4 * t)
            d[start + 8:start + 40] = b'\xff' * 32
open('made-damaged-tiles.tif', 'wb').write(d)
PY
convert source.png -crop 32x32+0+0 -depth 16 -define quantum:format=signed -compress none made-signed16.tif

for f in *.tif *.tiff; do
    # Refused: damaged tiles; signed samples; a fax strip libtiff reports overflowing its row; a fax
    # whose every strip libtiff 4.5 stops reading at its first line (a blank page, not the picture).
    case "$f" in made-damaged-tiles.tif|made-signed16.tif|testfax3_bug_513.tiff|testfax3_bug54_1dnoEOL.tif)
        rm -f "$f.ref.png"; continue ;;
    esac
    case "$f" in
    # The picture it was made from: tificc's own reading of 8-bit CIELAB back is further off
    # (4 of 255) than 8-bit CIELAB's steps.
    made-lab8-lcms.tif) convert source.png "PNG24:$f.ref.png" ;;
    # ImageMagick 6 misreads these (old-style JPEG's colours; grey with a separate alpha plane
    # as opaque): libtiff's own RGBA reading, tiff2rgba.
    ojpeg_*|minisblack-2c-8b-alpha.tiff)
        tiff2rgba "$f" rgba.tif && convert rgba.tif -background white -alpha remove -alpha off -depth 8 "PNG24:$f.ref.png" && rm rgba.tif ;;
    # Inks through the profile evaluated exactly by LittleCMS (no precalculated tables).
    *cmyk*) tificc -c0 "$f" srgb.tif 2>/dev/null && convert srgb.tif -depth 8 "PNG24:$f.ref.png" && rm srgb.tif ;;
    made-lab16-im.tif) convert "$f" -colorspace sRGB -depth 8 "PNG24:$f.ref.png" ;;
    *) convert "$f[0]" -auto-orient -background white -alpha remove -alpha off -colorspace sRGB -depth 8 "PNG24:$f.ref.png" ;;
    esac
done
