#!/bin/sh
# Makes the progressive JPEGs tst_progressivejpeg reads (ImageMagick, libjpeg-turbo's cjpeg and
# jpegtran, exiftool). Run in this folder; the files are kept in the repository.
set -e
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Colour and fine detail everywhere, so that every coefficient matters.
convert -size 400x304 -seed 3 plasma:red-blue \( -size 400x304 -seed 5 plasma:green-yellow \) \
    -compose overlay -composite -attenuate 0.3 +noise Gaussian "$tmp/src.ppm"
convert "$tmp/src.ppm" -colorspace Gray "$tmp/grey.pgm"
# The DC refinement last: the luma's AC final before any DC is.
cat > "$tmp/dclast.txt" <<'SCANS'
0,1,2: 0-0, 0, 1;
0: 1-63, 0, 0;
1: 1-63, 0, 0;
2: 1-63, 0, 0;
0,1,2: 0-0, 1, 0;
SCANS
# The chroma's AC final only in the last two scans.
cat > "$tmp/chromalast.txt" <<'SCANS'
0,1,2: 0-0, 0, 0;
0: 1-63, 0, 0;
1: 1-63, 0, 1;
2: 1-63, 0, 1;
1: 1-63, 1, 0;
2: 1-63, 1, 0;
SCANS

# The chroma's first AC (those a 2 by 2 transform of its low frequencies would use) final before
# the rest, which libjpeg's 2 by 2 transform also reads (its odd frequencies: 3, 5 and 7).
cat > "$tmp/chromahigh.txt" <<'SCANS'
0,1,2: 0-0, 0, 0;
1: 1-5, 0, 0;
2: 1-5, 0, 0;
0: 1-63, 0, 0;
1: 6-63, 0, 0;
2: 6-63, 0, 0;
SCANS
# The luma's AC of rows and columns 0 to 3 final before the rest, which libjpeg's 4 by 4
# transform also reads (all but frequency 4).
cat > "$tmp/lumahigh.txt" <<'SCANS'
0,1,2: 0-0, 0, 0;
1: 1-63, 0, 0;
2: 1-63, 0, 0;
0: 1-24, 0, 0;
0: 25-63, 0, 0;
SCANS
# No AC for the chroma at all: a full decode then smooths its DC, which a reading stopped early must not.
cat > "$tmp/nochromaac.txt" <<'SCANS'
0,1,2: 0-0, 0, 0;
0: 1-63, 0, 0;
SCANS
cjpeg -quality 90 -sample 2x1 -progressive "$tmp/src.ppm" > p422.jpg
cjpeg -quality 90 -sample 1x1 -progressive "$tmp/src.ppm" > p444.jpg
cjpeg -quality 90 -progressive "$tmp/grey.pgm" > grey.jpg
cjpeg -quality 90 -restart 1 -progressive "$tmp/src.ppm" > restart.jpg
cjpeg -quality 90 "$tmp/src.ppm" > baseline.jpg
jpegtran -scans "$tmp/dclast.txt" baseline.jpg > dclast.jpg
jpegtran -scans "$tmp/chromalast.txt" baseline.jpg > chromalast.jpg
jpegtran -progressive baseline.jpg > p420.jpg
jpegtran -scans "$tmp/chromahigh.txt" baseline.jpg > chromahigh.jpg
# The DC final in the first scan: at 1/8 4:4:4 every pixel is known before any AC is read, when
# libjpeg's block smoothing would guess the DC anew from the neighbours'.
jpegtran -scans "$tmp/chromalast.txt" p444.jpg > dcfirst444.jpg
jpegtran -scans "$tmp/lumahigh.txt" baseline.jpg > lumahigh.jpg
jpegtran -scans "$tmp/nochromaac.txt" p444.jpg > nochromaac.jpg
rm -f turned.jpg
exiftool -q -n -Orientation=6 -o turned.jpg p420.jpg
# An odd size, whose 1/8 just covers a box Qt's reader reads at 1/4.
convert "$tmp/src.ppm" -crop 201x153+0+0 "$tmp/odd.ppm"
cjpeg -quality 90 -progressive "$tmp/odd.ppm" > odd.jpg
# The ProPhoto profile made for the colour tests (../public/cms/make-profiles.c).
cjpeg -quality 90 -progressive -icc ../public/cms/prophoto.icc "$tmp/src.ppm" > prophoto.jpg
