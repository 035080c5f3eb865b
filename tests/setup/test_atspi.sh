#!/usr/bin/env bash
# What a screen reader hears, through AT-SPI in a real window: a new album's
# empty slots, the chooser's boxes and folders, the photo data count; and a
# picture file dragged from another program onto a slot (refused by the
# supplied album, taken by a new album).
set -euo pipefail
root="$1"
build="$2"
for tool in Xvfb openbox xdotool dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: pyatspi is not installed"; exit 77; }
# A session bus of its own, for the accessibility bus and the program.
if [ -z "${QUILL_IN_SESSION:-}" ]; then
    QUILL_IN_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi

source "$root/tests/setup/realwindow.sh"

start_display
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)

lay_out_program supplied
(cd "$folder" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb HOME="$work/home" \
    XDG_DATA_HOME="$work/home/data" exec ./quillbook >"$work/log" 2>&1) &
program=$!
pids+=($program)

cp "$folder/P3I7.bmp" "$work/dropped.bmp"
if ! timeout 150 /usr/bin/python3 "$root/tests/setup/atspi_names.py" "$program" "$build/quill_dragsource" \
    "$work/dropped.bmp"; then
    cat "$work/log" >&2
    exit 1
fi
echo "1 passed, 0 failed"
