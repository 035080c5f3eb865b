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

source "$root/tests/setup/realwindow.sh"
fail() {
    echo "FAIL: $*" >&2
    echo "visible windows:" >&2
    visible_windows >&2 || true
    cat "$work/log" >&2 2>/dev/null || true
    exit 1
}

start_display

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

lay_out_program
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
