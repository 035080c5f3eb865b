#!/usr/bin/env bash
# Installs what is missing, builds, and runs a benchmark:
#   bench.sh [page] [ARGS]   page loading (the default)
#   bench.sh photo [ARGS]    the photo data store against the sqlite3 tool
#   bench.sh chooser [ARGS]  the file chooser in a folder of 10,000 files against ls
#   bench.sh save [ARGS]     saving a page of twelve 24-megapixel pictures against cp (about 1.7 GB in /tmp)
#   bench.sh turn [ARGS]     turning through ten-page albums: pages read ahead, thumbnails kept, a busy machine (about 9 min)
#   bench.sh keep [ARGS]     adding a 24-megapixel picture with its private copy kept, against without and cp
#   bench.sh decoder [ARGS]  pages of HEIC and PNG pictures through the sealed decoder, against in-process
#   bench.sh colour          Qt against LittleCMS per profile; profiled pages against unprofiled
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_quillbook
case "${1:-page}" in
    photo) shift; exec "$QUILL_BUILD/bench/quill_photobench" "$@" ;;
    chooser) shift; exec "$QUILL_BUILD/bench/quill_chooserbench" "$@" ;;
    save) shift; exec "$QUILL_BUILD/bench/quill_savebench" "$@" ;;
    turn) shift; exec "$QUILL_BUILD/bench/quill_turnbench" "$@" ;;
    keep) shift; exec "$QUILL_BUILD/bench/quill_keepbench" "$@" ;;
    decoder) shift; exec "$QUILL_BUILD/bench/quill_decoderbench" "$@" ;;
    colour) shift; exec "$QUILL_BUILD/bench/quill_colourbench" "$@" ;;
    page) shift; exec "$QUILL_BUILD/bench/quill_pagebench" "$@" ;;
    *) exec "$QUILL_BUILD/bench/quill_pagebench" "$@" ;;
esac
