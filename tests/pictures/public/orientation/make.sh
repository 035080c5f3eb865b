#!/bin/sh
# Remakes this folder's made pictures and every reference rendering (run it in this folder).
# ImageMagick stands each JPEG upright by its EXIF orientation and converts its ICC profile to
# sRGB with LittleCMS; references are kept at a fraction of each side, averaged over blocks
# (-scale), as the test averages what it is shown.
# The made pictures: one upright picture, tagged Display P3 (the profile of the iPhone photo in
# ../phones), stored turned or mirrored and tagged with the EXIF orientation (5 to 8) that stands
# it upright again, as PNG (eXIf), lossless WebP (EXIF chunk) and TIFF (its own tag). Their one
# reference is the upright picture converted from Display P3 to sRGB.
set -e
SRGB=${SRGB:-../cms/srgb.icc} # sRGB IEC61966-2.1, LittleCMS's own (../cms/make-profiles.c)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# reference PICTURE FRACTION: upright, in sRGB, 1/FRACTION of each side.
reference() {
    convert "$1" -auto-orient -profile "$SRGB" "$tmp/upright.png"
    w=$(identify -format %w "$tmp/upright.png")
    h=$(identify -format %h "$tmp/upright.png")
    convert "$tmp/upright.png" -scale "$((w / $2))x$((h / $2))!" -depth 8 -strip "$1.ref.png"
}

echo "# picture	reference	tolerance" > MANIFEST.new
for i in 1 2 3 4 5 6 7 8; do
    reference "Portrait_$i.jpg" 6
    printf '%s\t%s\t%s\n' "Portrait_$i.jpg" "Portrait_$i.jpg.ref.png" 2 >> MANIFEST.new
done
for picture in jpg_orientation_portrait_6.jpg jpg_orientation_landscape_8.jpg; do
    reference "$picture" 3
    printf '%s\t%s\t%s\n' "$picture" "$picture.ref.png" 2 >> MANIFEST.new
done

heif-convert -q 100 ../phones/heic_mobile_iphone_13_pro_max.HEIC "$tmp/phone.png" >/dev/null
convert "$tmp/phone.png" "$tmp/displayp3.icc"
convert Portrait_1.jpg -auto-orient -scale 12.5% -strip "$tmp/upright.png"
# (ImageMagick's PNG writer drops an assigned profile; its TIFF writer keeps it.)
convert "$tmp/upright.png" -profile "$tmp/displayp3.icc" "$tmp/p3.tif"
convert "$tmp/p3.tif" -profile "$SRGB" -depth 8 -strip p3-upright.ref.png
for turn in "5 -transpose" "6 -rotate 270" "7 -transverse" "8 -rotate 90"; do
    set -- $turn
    orientation=$1
    shift
    convert "$tmp/upright.png" "$@" "$tmp/stored.png"
    convert "$tmp/stored.png" -define png:exclude-chunk=all "p3-orientation-$orientation.png"
    convert "$tmp/stored.png" -define webp:lossless=true "p3-orientation-$orientation.webp"
    convert "$tmp/stored.png" -compress lzw "p3-orientation-$orientation.tif"
    for format in png webp tif; do
        exiftool -q -overwrite_original -n -Orientation="$orientation" "-ICC_Profile<=$tmp/displayp3.icc" \
            "p3-orientation-$orientation.$format"
        printf '%s\t%s\t%s\n' "p3-orientation-$orientation.$format" p3-upright.ref.png 1 >> MANIFEST.new
    done
done
mv MANIFEST.new MANIFEST
