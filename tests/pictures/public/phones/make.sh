#!/bin/sh
# Remakes the reference renderings of the phone pictures beside this script, and the grid AVIF
# (run it in this folder).
# libheif's own heif-convert decodes (its grid, rotation and mirroring; the ICC profile carried
# over), LittleCMS (through ImageMagick) converts to sRGB, and the 12 MP photos are kept at an
# eighth of each side, averaged over 8 by 8 blocks (-scale), as the test averages what it is shown.
set -e
SRGB=${SRGB:-../cms/srgb.icc} # sRGB IEC61966-2.1, LittleCMS's own (../cms/make-profiles.c)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
: > MANIFEST.new
echo "# picture	reference (an eighth of each side)	tolerance" >> MANIFEST.new
for picture in heic_mobile_iphone_13_pro_max.HEIC heic_mobile_HMD_Nokia_8.3_5G.heif; do
    heif-convert -q 100 "$picture" "$tmp/decoded.png" >/dev/null
    convert "$tmp/decoded.png" -profile "$SRGB" -scale 12.5% -depth 8 -strip "$picture.ref.png"
    printf '%s\t%s\t%s\n' "$picture" "$picture.ref.png" 1.5 >> MANIFEST.new
done
# A grid AVIF, as phones store their photos in tiles: made here by libavif's own avifenc from a
# photo of ../orientation, decoded for its reference by avifdec.
convert ../orientation/Portrait_1.jpg -auto-orient -scale 400x600! "$tmp/photo.png"
avifenc --grid 2x2 -s 8 --min 10 --max 20 "$tmp/photo.png" grid-2x2.avif >/dev/null
avifdec grid-2x2.avif "$tmp/decoded.png" >/dev/null
convert "$tmp/decoded.png" -depth 8 -strip grid-2x2.avif.ref.png
printf '%s\t%s\t%s\n' grid-2x2.avif grid-2x2.avif.ref.png 1 >> MANIFEST.new
mv MANIFEST.new MANIFEST
