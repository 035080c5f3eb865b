#!/bin/sh
# Remakes the reference renderings of the PngSuite pictures beside this script (run it in this
# folder): ImageMagick (libpng) decodes and lays what is transparent on white. Most of the suite
# says its samples are linear (a gAMA chunk of 1.0): ImageMagick converts those from linear to sRGB
# itself (-set colorspace RGB -colorspace sRGB). Files of any other gamma are not used here.
# The x*.png files are broken on purpose: they must be refused.
set -e
echo "# picture	reference	tolerance" > MANIFEST.new
for picture in *.png; do
    case "$picture" in
    *.ref.png) continue ;;
    x*) printf '%s\tREFUSE\t0\n' "$picture" >> MANIFEST.new; continue ;;
    esac
    case "$(identify -format '%[gamma]' "$picture")" in
    1) linear="-set colorspace RGB -colorspace sRGB" ;;
    0.454545) linear="" ;;
    *) echo "$picture: a gamma this folder does not use" >&2; exit 1 ;;
    esac
    convert "$picture" -background white -alpha remove -alpha off $linear -depth 8 -strip "$picture.ref.png"
    printf '%s\t%s\t%s\n' "$picture" "$picture.ref.png" 1 >> MANIFEST.new
done
mv MANIFEST.new MANIFEST
