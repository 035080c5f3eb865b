#!/usr/bin/env bash
# The program folder set-up: a first lay-out brings every file; a second one
# keeps the user's photo data and albums, and puts back a damaged supplied picture.
set -euo pipefail
root="$1"
build="$2"
folder="$(mktemp -d)"
trap 'chmod -R u+w "$folder"; rm -rf "$folder"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

bash "$root/scripts/layout-program-folder.sh" "$build" "$folder"
[ -x "$folder/quillbook" ] || fail "program missing"
[ -x "$folder/quillbook-wmf" ] || fail "metafile helper missing"
[ -f "$folder/Empty.bmp" ] || fail "Empty.bmp missing"
[ "$(ls "$folder"/P*I*.bmp | wc -l)" -eq 120 ] || fail "not 120 supplied pictures"
[ "$(sqlite3 "$folder/PhotoData.mdb" "select count(*) from PhotoData where [Album Name] = ' '")" = 1 ] \
    || fail "no placeholder record"
total=$(du -cb "$folder"/P*I*.bmp | tail -1 | cut -f1)
[ "$total" -lt 100000000 ] || fail "supplied pictures take $total bytes"

# The user's data.
sqlite3 "$folder/PhotoData.mdb" "insert into PhotoData values ('Holiday','1',1,'P1I0',0,'May','Beach')"
mkdir -p "$folder/Holiday" "$folder/Wren Photo Album"
echo "picture" > "$folder/Holiday/P1I0.bmp"
cp "$folder/P1I1.bmp" "$folder/Wren Photo Album/P1I1.bmp"
chmod a-w "$folder/Wren Photo Album"
echo "damaged" > "$folder/P2I2.bmp"

bash "$root/scripts/layout-program-folder.sh" "$build" "$folder"
[ "$(sqlite3 "$folder/PhotoData.mdb" "select [Discription] from PhotoData where [Album Name]='Holiday'")" = "Beach" ] \
    || fail "photo data lost"
[ "$(cat "$folder/Holiday/P1I0.bmp")" = "picture" ] || fail "album changed"
[ "$(ls "$folder/Wren Photo Album")" = "P1I1.bmp" ] || fail "supplied album folder changed"
cmp -s "$folder/P2I2.bmp" "$build/assets-out/P2I2.bmp" || fail "damaged supplied picture not restored"
[ -z "$(find "$folder" -name '*.new')" ] || fail "temporary files left"
echo "1 passed, 0 failed"
