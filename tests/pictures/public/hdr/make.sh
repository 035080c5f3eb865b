#!/bin/sh
# Remakes the HDR pictures of this folder and their references. Needs avifenc, avifdec
# (libavif-bin), heif-enc, heif-convert (libheif-examples) and python3.
set -eu
cd "$(dirname "$0")"
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT

# The test cards: 16-bit BT.2020 signals, PQ and HLG coded (pictool.py says what they hold).
python3 pictool.py source pq "$t/pq-source.png"
python3 pictool.py source hlg "$t/hlg-source.png"
python3 pictool.py source pq-alpha "$t/pq-alpha-source.png"

# AVIF: PQ in 10-bit 4:2:0 limited range, HLG in 10-bit 4:4:4 full range, BT.2020 matrix.
avifenc -d 10 -y 420 -r l --cicp 9/16/9 --min 0 --max 2 "$t/pq-source.png" pq.avif >/dev/null
avifenc -d 10 -y 444 -r f --cicp 9/18/9 --min 0 --max 2 "$t/hlg-source.png" hlg.avif >/dev/null
avifenc -d 12 -y 444 -r f --cicp 9/16/9 --min 0 --max 2 --minalpha 0 --maxalpha 0 "$t/pq-alpha-source.png" pq-alpha.avif >/dev/null
# HEIF: 10-bit HEVC. This heif-enc writes no colour box of its own, so the nclx box is added
# here, with the matrix it encoded with (BT.601, full range).
heif-enc -b 10 -p chroma=444 -q 95 "$t/pq-source.png" -o "$t/pq.heic" >/dev/null
python3 pictool.py colr 9 16 6 1 "$t/pq.heic" pq.heic
heif-enc -b 10 -p chroma=420 -q 95 "$t/hlg-source.png" -o "$t/hlg.heic" >/dev/null
python3 pictool.py colr 9 18 6 1 "$t/hlg.heic" hlg.heic

# References: each file decoded by its format's own tool to 16-bit PNG (the PQ/HLG signal as
# stored), then tone-mapped by pictool.py.
avifdec -d 16 pq.avif "$t/pq.png" >/dev/null
avifdec -d 16 hlg.avif "$t/hlg.png" >/dev/null
avifdec -d 16 pq-alpha.avif "$t/pq-alpha.png" >/dev/null
heif-convert pq.heic "$t/pq-heic.png" >/dev/null
heif-convert hlg.heic "$t/hlg-heic.png" >/dev/null
python3 pictool.py tonemap pq "$t/pq.png" pq.png
python3 pictool.py tonemap hlg "$t/hlg.png" hlg.png
python3 pictool.py tonemap pq "$t/pq-alpha.png" pq-alpha.png
python3 pictool.py tonemap pq "$t/pq-heic.png" pq-heic.png
python3 pictool.py tonemap hlg "$t/hlg-heic.png" hlg-heic.png
