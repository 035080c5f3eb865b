#!/usr/bin/env bash
# Lays out a program folder: the program and its metafile helper, "Empty.bmp", the 120 supplied
# pictures and "PhotoData.mdb". An existing "PhotoData.mdb" and every
# subfolder (the user's albums) are left as they are.
# Usage: layout-program-folder.sh BUILD_FOLDER PROGRAM_FOLDER
set -euo pipefail
build="$1"
folder="$2"
assets="$build/assets-out"
[ -f "$assets/Empty.bmp" ] || { echo "No made pictures in $assets: build first." >&2; exit 1; }

# Folders made here, and the notes, are the owner's alone.
(umask 077 && mkdir -p "$folder")
for program in quillbook quillbook-wmf; do
    install -m 0755 "$build/$program" "$folder/$program.new"
    mv -f "$folder/$program.new" "$folder/$program"
done
for picture in "$assets"/Empty.bmp "$assets"/P*I*.bmp; do
    target="$folder/$(basename "$picture")"
    # Only a missing or different supplied picture is written, atomically.
    if ! cmp -s "$picture" "$target"; then
        cp "$picture" "$target.new" && mv -f "$target.new" "$target"
    fi
done
if [ ! -e "$folder/PhotoData.mdb" ]; then
    install -m 0600 "$assets/PhotoData.mdb" "$folder/PhotoData.mdb.new"
    mv -n "$folder/PhotoData.mdb.new" "$folder/PhotoData.mdb"
    rm -f "$folder/PhotoData.mdb.new"
fi
