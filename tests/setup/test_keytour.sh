#!/usr/bin/env bash
# A whole tour with the keyboard only, in a real window under a window manager:
# the options screen, the supplied album, a page turn, a picture at full size
# and back, its photo data opened and closed, stepping through the album in the full-size view
# (and a slide show),
# the end of the program. The mouse only for the wheel.
set -euo pipefail
root="$1"
build="$2"
for tool in Xvfb openbox xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$root/tests/setup/realwindow.sh"
fail() {
    echo "FAIL: $*" >&2
    echo "window with the keyboard: [$(active_window)]" >&2
    [ -n "${QUILL_TEST_SHOT:-}" ] && import -window root "$QUILL_TEST_SHOT" 2>/dev/null
    cat "$work/log" >&2 2>/dev/null || true
    exit 1
}

start_display

# The window the window manager made active, once the keyboard has followed it there.
active_window() {
    local active
    active="$(xdotool getactivewindow 2>/dev/null)" || return 0
    [ "$active" = "$(xdotool getwindowfocus -f 2>/dev/null)" ] || return 0
    xdotool getwindowname "$active" 2>/dev/null || true
}
# Waits up to $2 tenths of a second (20 s) until the window that has the keyboard is titled exactly $1.
wait_for_active() {
    for _ in $(seq "${2:-200}"); do
        [ "$(active_window)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

lay_out_program supplied
(cd "$folder" && QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_DATA_HOME="$work/home/data" exec ./quillbook >"$work/log" 2>&1) &
program=$!
pids+=($program)

# The cover and the options screen share their caption: the options screen is the second window.
wait_for_active "Quillbook by Wren" || fail "the cover did not come"
cover="$(xdotool getactivewindow)"
for _ in $(seq 200); do
    [ "$(xdotool getactivewindow 2>/dev/null)" != "$cover" ] && [ "$(active_window)" = "Quillbook by Wren" ] && break
    sleep 0.1
done
[ "$(xdotool getactivewindow 2>/dev/null)" != "$cover" ] || fail "the options screen did not come"
# The go button: Tab from the chosen option reaches it, Return presses it.
xdotool key Tab Return
# The supplied album opens on page 1 under the page screen's first caption.
wait_for_active "Quillbook " || fail "Tab and Return on the go button did not open the album"

xdotool key Right
wait_for_active 'Album "Wren Photo Album -- Page 2"' || fail "Right did not turn the page"

# Tab reaches the first picture, Right the second; Return shows it full size (the view has no caption).
xdotool key Tab Right Return
wait_for_active "Quillbook" || fail "Return on a picture did not show it full size"
xdotool key alt+b
wait_for_active 'Album "Wren Photo Album -- Page 2"' || fail "Back did not return to the page"

# The same picture still has the keyboard: the Menu key opens its photo data.
xdotool key Menu
# Close (Alt+L) is enabled once the picture's notes have been looked up: pressed until it answers.
close_photo_data() {
    for _ in $(seq 20); do
        xdotool key alt+l
        wait_for_active 'Album "Wren Photo Album -- Page 2"' 10 && return 0
    done
    return 1
}
wait_for_active "Photo Data Control" || fail "the Menu key did not open the photo data"
close_photo_data || fail "Close did not return to the page"
xdotool key shift+F10
wait_for_active "Photo Data Control" || fail "Shift+F10 did not open the photo data"
close_photo_data || fail "Close did not return to the page the second time"

# The full-size view steps through the album: the page screen behind it turns with the picture.
# Waits (20 s) until a window titled exactly $1 is on view, whichever has the keyboard.
wait_for_window() {
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
page_is() { wait_for_window "Album \"Wren Photo Album -- Page $1\""; }
xdotool key Return
wait_for_active "Quillbook" || fail "Return on the picture did not show it full size again"
xdotool key End
page_is 10 || fail "End in the view did not go to the album's last picture"
xdotool key Home
page_is 1 || fail "Home in the view did not go to the album's first picture"
xdotool key Left Prior
for _ in $(seq 11); do xdotool key Right; done
page_is 1 || fail "Left or Page Up before the first picture, or Right within a page, turned the page"
xdotool key Next
page_is 2 || fail "Page Down past a page's last picture did not turn to the next page"
xdotool key Prior
page_is 1 || fail "Page Up past a page's first picture did not turn to the previous page"
xdotool click 5
page_is 2 || fail "the mouse wheel did not show the next picture"
xdotool click 4
page_is 1 || fail "the mouse wheel did not show the previous picture"
xdotool key Right
page_is 2 || fail "Right did not show the next picture across the page"
xdotool key Left i i
page_is 1 || fail "Left did not show the previous picture across the page"
# Space starts a slide show and + makes it faster (a picture a second): it goes on across the
# page; Space stops it, and Back then goes to the page it stopped on.
xdotool key space plus plus plus
page_is 2 || fail "the slide show did not go on to the next page"
xdotool key space
xdotool key alt+b
wait_for_active 'Album "Wren Photo Album -- Page 2"' || fail "Back did not return to the page of the picture shown"
xdotool key Return
wait_for_active "Quillbook" || fail "Return on the picture shown last did not open it again"
# Zoomed (1, +, -), Right moves the picture instead of stepping: twelve of them from the first
# picture stay on page 1; 0 fits it again. The view's help page tells these keys.
xdotool key Home
page_is 1 || fail "Home in the view did not go to the album's first picture"
xdotool key 1 plus minus
for _ in $(seq 12); do xdotool key Right; done
xdotool key Down Up 0
xdotool key alt+h
wait_for_active "Display Picture  Help          page 1 of 1" || fail "Alt+H in the view did not show its help page"
xdotool key alt+e
wait_for_active "Quillbook" || fail "Exit Help did not return to the view"
xdotool key alt+b
wait_for_active 'Album "Wren Photo Album -- Page 1"' ||
    fail "Back did not return to the page of the picture shown (or zoomed, Right stepped instead of moving the picture)"

xdotool key Escape
wait_for_active "WARNING" || fail "Esc did not ask the exit question"
xdotool key alt+y
for _ in $(seq 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
! kill -0 "$program" 2>/dev/null || fail "Yes to the exit question did not end the program"
echo "1 passed, 0 failed"
