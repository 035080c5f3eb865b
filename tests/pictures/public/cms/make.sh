#!/bin/sh
# Remakes the pictures made here and every reference rendering. References: 8-bit sRGB PNG from
# ImageMagick 6 with LittleCMS (perceptual intent), the inks of CMYK through LittleCMS's tificc
# evaluating the profile exactly (-c0, no precalculated tables). Run from this folder; needs
# imagemagick, liblcms2-utils, liblcms2-dev, libjpeg-dev. The source picture is the tiff group's.
# Every profile used is made here by make-profiles.c; references carry none (the test reads them
# as sRGB).
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc make-profiles.c -llcms2 -lm -o "$work/make-profiles" && "$work/make-profiles"
cc cmyk-transcode.c -ljpeg -o "$work/cmyk-transcode"
to() { convert ../tiff/source.png -profile srgb.icc -profile "$@"; }

# Inks through a press profile (press-cmyk.icc, tables): YCCK as ImageMagick writes it,
# and plain CMYK as Photoshop does (Adobe marker, inverted); one without a profile.
to press-cmyk.icc -quality 92 made-cmyk-press-ycck.jpg
"$work/cmyk-transcode" made-cmyk-press-ycck.jpg made-cmyk-press-adobe.jpg
to press-cmyk.icc -quality 92 -strip made-cmyk-noprofile.jpg
# Tables-only RGB, ProPhoto (ROMM RGB), grey of gamma 1.8: in JPEG, PNG and TIFF.
to lut-rgb.icc -quality 95 made-lut.jpg
to lut-rgb.icc made-lut.png
to lut-rgb.icc -compress zip made-lut.tif
to prophoto.icc -quality 95 made-prophoto.jpg
to prophoto.icc -depth 16 made-prophoto16.png
convert ../tiff/source.png -colorspace gray -depth 8 -profile grey-18.icc -quality 95 made-grey18.jpg
convert ../tiff/source.png -colorspace gray -depth 8 -profile grey-18.icc made-grey18.png

for f in made-*.jpg made-*.png made-*.tif R2020-*.jpg rgb-to-gbr-*.jpg; do
    case "$f" in
    *.ref.png) ;; # a reference made before
    made-cmyk-press-*)
        convert "$f" -compress none "$work/inks.tif"
        tificc -c0 "$work/inks.tif" "$work/srgb.tif" 2>/dev/null
        convert "$work/srgb.tif" -depth 8 -strip "PNG24:$f.ref.png" ;;
    made-cmyk-noprofile.jpg) convert "$f" -colorspace sRGB -depth 8 -strip "PNG24:$f.ref.png" ;;
    made-grey18.*) convert "$f" -profile srgb.icc -colorspace sRGB -depth 8 -strip "PNG24:$f.ref.png" ;;
    *) convert "$f" -profile srgb.icc -depth 8 -strip "PNG24:$f.ref.png" ;;
    esac
done
