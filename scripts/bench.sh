#!/usr/bin/env bash
# Installs what is missing, builds, and runs a benchmark:
#   bench.sh [page] [ARGS]   page loading (the default)
#   bench.sh photo [ARGS]    the photo data store against the sqlite3 tool
#   bench.sh chooser [ARGS]  the file chooser in a folder of 10,000 files against ls
#   bench.sh save [ARGS]     saving a page of twelve 24-megapixel pictures against cp (about 1.7 GB in /tmp)
#   bench.sh turn [ARGS]     turning through ten-page albums: pages read ahead, thumbnails kept, a busy machine (about 9 min)
#   bench.sh keep [ARGS]     adding a 24-megapixel picture with its private copy kept, against without and cp
#   bench.sh add [ARGS]      a new album of 120 phone JPEGs added in one selection and saved, against cp plus libjpeg-turbo
#   bench.sh decoder [ARGS]  pages of HEIC and PNG pictures through the sealed decoder, against in-process
#                            ("thumbnailers": pages at 230 px against the desktop's thumbnailers)
#                            ("progressive": progressive 24-MP JPEGs at slot size against Qt's reader)
#   bench.sh colour          Qt against LittleCMS per profile; profiled pages against unprofiled
#   bench.sh zoom            actual pixels on a 50-megapixel JPEG against a whole decode
#   bench.sh view [ARGS]     the full-size view's step to the next 24-megapixel picture against a repaint (about 1.5 min)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
install_missing_packages "${QUILL_BENCH_PACKAGES[@]}"
build_quillbook
case "${1:-page}" in
    photo) shift; exec "$QUILL_BUILD/bench/quill_photobench" "$@" ;;
    chooser) shift; exec "$QUILL_BUILD/bench/quill_chooserbench" "$@" ;;
    save) shift; exec "$QUILL_BUILD/bench/quill_savebench" "$@" ;;
    turn) shift; exec "$QUILL_BUILD/bench/quill_turnbench" "$@" ;;
    keep) shift; exec "$QUILL_BUILD/bench/quill_keepbench" "$@" ;;
    add) shift; exec "$QUILL_BUILD/bench/quill_addbench" "$@" ;;
    decoder) shift; exec "$QUILL_BUILD/bench/quill_decoderbench" "$@" ;;
    colour) shift; exec "$QUILL_BUILD/bench/quill_colourbench" "$@" ;;
    zoom) shift; exec "$QUILL_BUILD/bench/quill_zoombench" "$@" ;;
    view) shift; exec "$QUILL_BUILD/bench/quill_viewbench" "$@" ;;
    page) shift; exec "$QUILL_BUILD/bench/quill_pagebench" "$@" ;;
    *) exec "$QUILL_BUILD/bench/quill_pagebench" "$@" ;;
esac
