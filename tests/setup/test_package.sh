#!/usr/bin/env bash
# The Debian package: built, installed on this machine, started from another
# folder under a virtual display, its program folder found laid out, removed.
set -euo pipefail
build="$1"
root="${2:-}"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
work="$(mktemp -d)"
started=""
stop_program() {
    # The program and its virtual display run in a process group of their own.
    [ -n "$started" ] && kill -- "-$started" 2>/dev/null || true
    started=""
}
cleanup() {
    stop_program
    dpkg -r quillbook >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack"
package="$(ls "$work"/out/quillbook_*_amd64.deb)"
contents="$(dpkg-deb -c "$package")"
info="$(dpkg-deb -I "$package")"
grep -q "usr/share/quillbook/Empty.bmp" <<<"$contents" || fail "data missing"
grep -q "usr/share/applications/quillbook.desktop" <<<"$contents" || fail "menu entry missing"
grep -q "usr/share/icons/hicolor/scalable/apps/quillbook.svg" <<<"$contents" || fail "icon missing"
grep -q "usr/share/icons/hicolor/48x48/apps/quillbook.png" <<<"$contents" || fail "icon sizes missing"
grep -q "usr/share/man/man1/quillbook.1.gz" <<<"$contents" || fail "manual page missing"
grep -q "Depends:.*libqt6widgets6" <<<"$info" || fail "dependencies not computed"
dpkg -i "$package" >/dev/null || fail "dpkg -i"

mkdir -p "$work/home/Documents" "$work/elsewhere" "$work/home/.config/Quillbook"
# The readme's tick box already set, so the first start runs on without a click.
printf '[Startup]\nDisplay%%20Readme=1\n' >"$work/home/.config/Quillbook/Quillbook.ini"
cd "$work/elsewhere"
HOME="$work/home" XDG_DATA_HOME= XDG_CONFIG_HOME= \
    setsid xvfb-run -a -s '-screen 0 1280x800x24' /usr/bin/quillbook >"$work/run.log" 2>&1 &
started=$!
cd /
folder="$work/home/.local/share/Quillbook"
wren="$folder/Wren Photo Album"
# The first start ends its copying by making the supplied album read-only.
for _ in $(seq 1 300); do
    [ -d "$wren" ] && [ "$(stat -c %a "$wren")" = 555 ] && break
    sleep 0.2
done
[ -f "$folder/Empty.bmp" ] || fail "program folder not laid out: $(cat "$work/run.log")"
[ "$(stat -c %a "$wren")" = 555 ] || fail "the supplied album was not installed: $(cat "$work/run.log")"
[ "$(ls "$wren"/P*I*.bmp | wc -l)" -eq 120 ] || fail "supplied pictures missing from the supplied album"
# The supplied pictures are kept once: read where they are installed, copied only into the album.
[ -z "$(ls "$folder" | grep -E '^P[0-9]+I[0-9]+\.bmp$' || true)" ] || fail "supplied pictures copied into the program folder"
used=$(du -s --block-size=1 "$work/home" | cut -f1)
installed=$(du -s --block-size=1 /usr/share/quillbook | cut -f1)
echo "a first start uses $used bytes (the installed data: $installed bytes)"
[ "$used" -lt 100000000 ] || fail "a first start uses $used bytes"
[ "$(ls -A "$work/elsewhere")" = "" ] || fail "files made in the folder it was started from"
[ "$(ls "$work/home")" = "Documents" ] || fail "files made in the home folder"
stop_program

# The user's folder goes as the README says, for its owner (not root, who could remove anything).
if [ -n "$root" ]; then
    remove="$(grep -m1 '^chmod -R u+w ~/.local/share/Quillbook' "$root/README.md")" || fail "no removal in the README"
    grep -qF 'chmod \-R u+w ~/.local/share/Quillbook' "$root/assets/desktop/quillbook.1" || fail "no removal in the manual page"
    chmod 0755 "$work"
    chown -R nobody:nogroup "$work/home"
    ! runuser -u nobody -- rm -rf "$folder" 2>/dev/null || fail "the supplied album is not read-only"
    runuser -u nobody -- env HOME="$work/home" sh -c "$remove" || fail "the README's removal failed"
    [ ! -e "$folder" ] || fail "the user's folder is still there after the README's removal"
fi
dpkg -r quillbook >/dev/null || fail "dpkg -r"
[ ! -e /usr/bin/quillbook ] || fail "program left after removal"
echo "1 passed, 0 failed"
