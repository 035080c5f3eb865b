#!/usr/bin/env bash
# The keyboard in a real window under a window manager: straight after an album
# opens, and straight after a page turn, Esc and a Ctrl shortcut reach the page
# screen without a click into it first.
set -euo pipefail
root="$1"
build="$2"
for tool in Xvfb openbox xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    echo "visible windows:" >&2
    visible_windows >&2 || true
    cat "$work/log" >&2 2>/dev/null || true
    exit 1
}

# A display of our own (QUILL_TEST_DISPLAY names one to use instead), so the test runs beside any other.
if [ -n "${QUILL_TEST_DISPLAY:-}" ]; then
    number="$QUILL_TEST_DISPLAY"
    Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
else
    exec {fd}<> <(:)
    Xvfb -displayfd "$fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    read -r -t 20 number <&"$fd" || { echo "SKIP: Xvfb did not start"; exit 77; }
fi
export DISPLAY=":$number"
openbox >/dev/null 2>&1 &
pids+=($!)

visible_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        xdotool getwindowname "$w" 2>/dev/null || true
    done
}
# Waits up to $2 tenths of a second (20 s) for a window on view whose title is exactly $1.
wait_for_window() {
    for _ in $(seq "${2:-200}"); do
        visible_windows | grep -qxF -- "$1" && return 0
        sleep 0.1
    done
    return 1
}
wait_until_gone() {
    for _ in $(seq 200); do
        visible_windows | grep -qxF -- "$1" || return 0
        sleep 0.1
    done
    return 1
}

folder="$work/program"
bash "$root/scripts/layout-program-folder.sh" "$build" "$folder" >/dev/null
mkdir -p "$folder/Wren Photo Album" "$work/home/.config/Quillbook"
printf '[Startup]\nDisplay%%20Readme=1\n' >"$work/home/.config/Quillbook/Quillbook.ini"
(cd "$folder" && QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_DATA_HOME="$work/home/data" exec ./quillbook >"$work/log" 2>&1) &
program=$!
pids+=($program)

# The options screen comes after the cover; its button answers a press of the
# mouse. Pressed again until the album is on view, as the cover may still be up.
page1="Quillbook "
for _ in $(seq 20); do
    xdotool mousemove 524 647 click 1
    wait_for_window "$page1" 20 && break
done
wait_for_window "$page1" || fail "the album did not open"

xdotool key Escape
wait_for_window "WARNING" || fail "Esc straight after the album opened did nothing"
xdotool key alt+n
wait_until_gone "WARNING" || fail "the exit question did not close"

xdotool key Prior
wait_for_window 'Album "Wren Photo Album -- Page 2"' || fail "Page Up did not turn the page"
xdotool key ctrl+x
wait_for_window "WARNING" || fail "Ctrl+X straight after a page turn did nothing"
xdotool key alt+y
for _ in $(seq 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
! kill -0 "$program" 2>/dev/null || fail "Yes to the exit question did not end the program"
echo "1 passed, 0 failed"
