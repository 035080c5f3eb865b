#!/bin/sh
# Remakes this folder's icons and their reference renderings (run it in this folder): an icon of
# several sizes, smallest first, as icon makers write them (ImageMagick; its 256 by 256 entry is a
# PNG inside the icon), and one of bitmap entries only. The reference is the largest entry, as
# ImageMagick reads it, laid on white.
set -e
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert ../orientation/Portrait_1.jpg -auto-orient -gravity center -crop 1200x1200+0+0 +repage -resize 256x256 \
    \( +clone -alpha extract -draw 'fill black circle 128,128 250,128' -negate \) -alpha off -compose CopyOpacity \
    -composite "$tmp/round.png"
convert "$tmp/round.png" -define icon:auto-resize=16,32,48,256 several-sizes.ico
convert "$tmp/round.png" -define icon:auto-resize=16,24,32,64 -define icon:format=bmp bitmap-entries.ico
echo "# picture	reference	tolerance" > MANIFEST.new
for icon in several-sizes.ico:3 bitmap-entries.ico:3; do
    picture=${icon%:*}
    convert "$picture[${icon#*:}]" -background white -alpha remove -alpha off -depth 8 -strip "$picture.ref.png"
    printf '%s\t%s\t%s\n' "$picture" "$picture.ref.png" 1 >> MANIFEST.new
done
mv MANIFEST.new MANIFEST
