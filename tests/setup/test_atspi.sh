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

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own (QUILL_TEST_DISPLAY names one to use instead).
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
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)

folder="$work/program"
bash "$root/scripts/layout-program-folder.sh" "$build" "$folder" >/dev/null
mkdir -p "$folder/Wren Photo Album" "$work/home/.config/Quillbook"
cp "$folder"/P*I*.bmp "$folder/Wren Photo Album/"
chmod 0555 "$folder/Wren Photo Album"
printf '[Startup]\nDisplay%%20Readme=1\n' >"$work/home/.config/Quillbook/Quillbook.ini"
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
