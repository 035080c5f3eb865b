#!/usr/bin/env bash
# Installs what is missing, builds, and runs a benchmark:
#   bench.sh [page] [ARGS]   page loading (the default)
#   bench.sh photo [ARGS]    the photo data store against the sqlite3 tool
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_quillbook
case "${1:-page}" in
    photo) shift; exec "$QUILL_BUILD/bench/quill_photobench" "$@" ;;
    page) shift; exec "$QUILL_BUILD/bench/quill_pagebench" "$@" ;;
    *) exec "$QUILL_BUILD/bench/quill_pagebench" "$@" ;;
esac
