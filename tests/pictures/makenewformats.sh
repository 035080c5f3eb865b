#!/usr/bin/env bash
# Makes the broken and bomb files of PNG, WebP, TIFF, HEIC and AVIF in corpus/
# (with Qt's writers, libheif's encoders and zlib; nothing is fetched).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -fPIC -O1 -I"$here/../support" "$here/makenewformats.cpp" "$here/../support/testheif.cpp" \
    -o "$work/makenewformats" \
    $(pkg-config --cflags --libs Qt6Gui libheif zlib)
cd "$here/corpus"
"$work/makenewformats"
