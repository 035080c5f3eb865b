# Shared by the tests in a real window: a work folder removed at the end with
# every process started, a display of our own with a window manager, and a
# program folder to start the program in. Sourced after `root` and `build` are set.
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own (QUILL_TEST_DISPLAY names one to use instead), so the test
# runs beside any other; openbox on it, as focus faults only show under a window manager.
start_display() {
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
}

# Lays out "$work/program" (in `folder`) so that the program starts without its
# readme; "supplied" also fills the supplied album as a first start leaves it,
# without the first start's long cover.
lay_out_program() {
    folder="$work/program"
    bash "$root/scripts/layout-program-folder.sh" "$build" "$folder" >/dev/null
    mkdir -p "$folder/Wren Photo Album" "$work/home/.config/Quillbook"
    if [ "${1:-}" = supplied ]; then
        cp "$folder"/P*I*.bmp "$folder/Wren Photo Album/"
        chmod 0555 "$folder/Wren Photo Album"
    fi
    printf '[Startup]\nDisplay%%20Readme=1\n' >"$work/home/.config/Quillbook/Quillbook.ini"
}
