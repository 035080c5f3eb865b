#!/usr/bin/env bash
# Installs what is missing, builds, lays out the program folder and starts
# Quillbook in it. Usage: scripts/run.sh [PROGRAM_FOLDER]
# The folder defaults to ~/.local/share/Quillbook; the user's albums and notes
# in it are kept.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

folder="${1:-}"
if [ -z "$folder" ]; then
    # The XDG rules: a relative XDG_DATA_HOME is ignored.
    data="${XDG_DATA_HOME:-}"
    [[ "$data" == /* ]] || data="${HOME:?HOME is not set: give a program folder}/.local/share"
    folder="$data/Quillbook"
fi
install_missing_packages
build_quillbook
bash "$QUILL_ROOT/scripts/layout-program-folder.sh" "$QUILL_BUILD" "$folder"
echo "Program folder: $folder"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<MSG
Quillbook is built and laid out, but there is no desktop session to show it in.
Run it from a desktop session, or under a virtual display:
    cd "$folder" && xvfb-run -a -s '-screen 0 1920x1080x24' ./quillbook
MSG
    exit 1
fi
cd "$folder"
exec ./quillbook
