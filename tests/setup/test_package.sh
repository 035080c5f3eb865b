#!/usr/bin/env bash
# The Debian package: built, installed on this machine, started from another
# folder under a virtual display, its program folder found laid out, removed.
set -euo pipefail
build="$1"
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

mkdir -p "$work/home/Documents" "$work/elsewhere"
cd "$work/elsewhere"
HOME="$work/home" XDG_DATA_HOME= XDG_CONFIG_HOME= \
    setsid xvfb-run -a -s '-screen 0 1280x800x24' /usr/bin/quillbook >"$work/run.log" 2>&1 &
started=$!
cd /
folder="$work/home/.local/share/Quillbook"
for _ in $(seq 1 100); do
    [ -f "$folder/PhotoData.mdb" ] && break
    sleep 0.2
done
sleep 1
[ -f "$folder/Empty.bmp" ] || fail "program folder not laid out: $(cat "$work/run.log")"
[ "$(ls "$folder"/P*I*.bmp | wc -l)" -eq 120 ] || fail "supplied pictures missing"
[ "$(ls -A "$work/elsewhere")" = "" ] || fail "files made in the folder it was started from"
[ "$(ls "$work/home")" = "Documents" ] || fail "files made in the home folder"
stop_program
dpkg -r quillbook >/dev/null || fail "dpkg -r"
[ ! -e /usr/bin/quillbook ] || fail "program left after removal"
echo "1 passed, 0 failed"
