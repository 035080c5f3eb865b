#!/bin/sh
# Remakes the pictures made here and every reference rendering. References: 8-bit sRGB PNG from
# ImageMagick 6 with LittleCMS (perceptual intent), the inks of CMYK through LittleCMS's tificc
# evaluating the profile exactly (-c0, no precalculated tables). Run from this folder; needs
# imagemagick, liblcms2-utils, liblcms2-dev, libjpeg-dev. The source picture is the tiff group's.
set -eu
ICC=/usr/share/color/icc/ghostscript
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc make-profiles.c -llcms2 -o "$work/make-profiles" && "$work/make-profiles"
cc cmyk-transcode.c -ljpeg -o "$work/cmyk-transcode"
to() { convert ../tiff/source.png -profile $ICC/srgb.icc -profile "$@"; }

# Inks through a press profile (ghostscript's SWOP, tables): YCCK as ImageMagick writes it,
# and plain CMYK as Photoshop does (Adobe marker, inverted); one without a profile.
to $ICC/default_cmyk.icc -quality 92 made-cmyk-swop-ycck.jpg
"$work/cmyk-transcode" made-cmyk-swop-ycck.jpg made-cmyk-swop-adobe.jpg
to $ICC/default_cmyk.icc -quality 92 -strip made-cmyk-noprofile.jpg
# Tables-only RGB (made here), ProPhoto (ROMM RGB), grey of gamma 1.8: in JPEG, PNG and TIFF.
to lut-rgb.icc -quality 95 made-lut.jpg
to lut-rgb.icc made-lut.png
to lut-rgb.icc -compress zip made-lut.tif
to $ICC/rommrgb.icc -quality 95 made-prophoto.jpg
to $ICC/rommrgb.icc -depth 16 made-prophoto16.png
convert ../tiff/source.png -colorspace gray -depth 8 -profile grey-18.icc -quality 95 made-grey18.jpg
convert ../tiff/source.png -colorspace gray -depth 8 -profile grey-18.icc made-grey18.png

for f in made-*.jpg made-*.png made-*.tif R2020-*.jpg rgb-to-gbr-*.jpg; do
    case "$f" in
    made-cmyk-swop-*)
        convert "$f" -compress none "$work/inks.tif"
        tificc -c0 "$work/inks.tif" "$work/srgb.tif" 2>/dev/null
        convert "$work/srgb.tif" -depth 8 "PNG24:$f.ref.png" ;;
    made-cmyk-noprofile.jpg) convert "$f" -colorspace sRGB -depth 8 "PNG24:$f.ref.png" ;;
    made-grey18.*) convert "$f" -profile $ICC/srgb.icc -colorspace sRGB -depth 8 "PNG24:$f.ref.png" ;;
    *) convert "$f" -profile $ICC/srgb.icc -depth 8 "PNG24:$f.ref.png" ;;
    esac
done
