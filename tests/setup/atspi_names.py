"""What a screen reader hears, read through AT-SPI while keys drive the program.

Usage: atspi_names.py PROGRAM_PID. Prints FAIL lines and exits 1 on a fault."""
import subprocess
import sys
import time

import pyatspi

pid = int(sys.argv[1])
faults = []


def key(*keys):
    subprocess.run(["xdotool", "key", *keys], check=True)


def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            pass
    return None


def walk(acc, out):
    try:
        out.append(acc)
        for i in range(acc.childCount):
            walk(acc.getChildAtIndex(i), out)
    except Exception:
        pass
    return out


def frame(title, label=None):
    """The active window of that title (holding that label), or None."""
    app = program()
    if app is None:
        return None
    for i in range(app.childCount):
        f = app.getChildAtIndex(i)
        try:
            if f.name != title or not f.getState().contains(pyatspi.STATE_ACTIVE):
                continue
            if label is None or any(a.getRoleName() == "label" and a.name == label for a in walk(f, [])):
                return f
        except Exception:
            pass
    return None


def wait_for(what, find, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    faults.append("FAIL: " + what)
    return None


def heard(acc, role):
    return [(a.name, a.description) for a in walk(acc, []) if a.getRoleName() == role]


# A new album: the options screen's second option, then the go button.
wait_for("the options screen", lambda: frame("Quillbook by Wren", "Options"))
key("Down", "Return")
page = wait_for("the new album's page", lambda: frame('Album "New Album -- Page 1"'))
if page:
    names = [n for n, _ in heard(page, "image")][:12]
    expected = ["Page 1, slot %d, empty" % i for i in range(12)]
    if names != expected:
        faults.append("FAIL: the new album's slots are heard as %r" % names)

# The chooser: its boxes by their labels, its folders by plain name and level.
key("ctrl+a")
chooser = wait_for("the file chooser", lambda: frame("Select A Picture File"))
if chooser:
    combos = [n for n, _ in heard(chooser, "combo box")]
    if combos != ["File Type", "Drive"]:
        faults.append("FAIL: the chooser's boxes are heard as %r" % combos)
    folders = None
    for a in walk(chooser, []):
        if a.getRoleName() == "list" and a.name == "Directories":
            folders = [(a.getChildAtIndex(i).name, a.getChildAtIndex(i).description) for i in range(a.childCount)]
    if not folders or folders[0] != ("/", "level 1") or any(
            "\u25b8" in n or "\u25be" in n or n != n.strip() or not d.startswith("level ") for n, d in folders):
        faults.append("FAIL: the chooser's folders are heard as %r" % folders)
    key("alt+c")
    wait_for("the page again after the chooser", lambda: frame('Album "New Album -- Page 1"'))

# The count on the photo data screen of a picture of the supplied album.
key("ctrl+o")
wait_for("the options screen again", lambda: frame("Quillbook by Wren", "Options"))
key("Up", "Return")
wait_for("the supplied album", lambda: frame("Quillbook "))
key("Tab", "Menu")
data = wait_for("the photo data screen", lambda: frame("Photo Data Control"))
if data:
    counts = wait_for("the count of notes found",
                      lambda: [n for n, _ in heard(data, "label") if n.startswith("Found ") and n != "Found"])
    if counts and counts != ["Found 0 files"]:
        faults.append("FAIL: the count is heard as %r" % counts)

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
