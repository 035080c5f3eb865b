#!/usr/bin/env bash
# Installs what is missing, builds, and runs the page-loading benchmark.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_quillbook
exec "$QUILL_BUILD/bench/quill_pagebench" "$@"
