#!/bin/sh
# Remakes the reference renderings of the libwebp test pictures beside this script (run it in this
# folder): libwebp's own dwebp decodes, ImageMagick lays what is transparent on white.
set -e
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "# picture	reference	tolerance" > MANIFEST.new
for picture in *.webp; do
    dwebp -quiet "$picture" -o "$tmp/decoded.png"
    convert "$tmp/decoded.png" -background white -alpha remove -alpha off -depth 8 -strip "$picture.ref.png"
    printf '%s\t%s\t%s\n' "$picture" "$picture.ref.png" 1 >> MANIFEST.new
done
mv MANIFEST.new MANIFEST
