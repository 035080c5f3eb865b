"""What a screen reader hears, read through AT-SPI while keys drive the program;
and a picture file dragged from another program onto a slot.

Usage: atspi_names.py PROGRAM_PID DRAG_SOURCE PICTURE. Prints FAIL lines and exits 1 on a fault."""
import os
import subprocess
import sys
import time

import pyatspi

pid = int(sys.argv[1])
drag_source, picture = sys.argv[2], sys.argv[3]
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


def frame(title, label=None, state=pyatspi.STATE_ACTIVE):
    """The active (or showing) window of that title (holding that label), or None."""
    app = program()
    if app is None:
        return None
    for i in range(app.childCount):
        f = app.getChildAtIndex(i)
        try:
            if f.name != title or not f.getState().contains(state):
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


def wait_for_quietly(find, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if find():
            return True
        time.sleep(0.1)
    return False


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



def slot(page, index):
    images = [a for a in walk(page, []) if a.getRoleName() == "image"]
    return images[index] if len(images) > index else None


def drag_onto(page, index, outcome):
    """Drags the picture from another program onto slot `index` of `page`; true once `outcome` holds."""
    target = slot(page, index)
    x, y, w, h = target.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    source = subprocess.Popen([drag_source, picture], env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
    try:
        # The other program's window has the keyboard once it is ready for the mouse.
        end = time.time() + 20
        while time.time() < end and subprocess.run(["xdotool", "getactivewindow", "getwindowname"],
                                                   capture_output=True, text=True).stdout.strip() != "Drag source":
            time.sleep(0.1)
        subprocess.run(["xdotool", "mousemove", "100", "680", "mousedown", "1"], check=True)
        # The drag follows the pointer through a few steps and is held over the slot, as a hand would.
        for step in range(1, 11):
            subprocess.run(["xdotool", "mousemove", str(100 + (x + w // 2 - 100) * step // 10),
                            str(680 + (y + h // 2 - 680) * step // 10)], check=True)
            time.sleep(0.05)
        for jiggle in range(6):
            subprocess.run(["xdotool", "mousemove", str(x + w // 2 + jiggle % 2 * 3), str(y + h // 2)], check=True)
            time.sleep(0.1)
        subprocess.run(["xdotool", "mouseup", "1"], check=True)
        # The other program stays until the drop has been answered: it hands the data over.
        return wait_for_quietly(outcome, 10)
    finally:
        source.terminate()
        source.wait()


# Closing the photo data: Close (Alt+L) answers once the notes have been looked up.
for _ in range(20):
    key("alt+l")
    if wait_for_quietly(lambda: frame("Quillbook "), 1):
        break
wren = wait_for("the supplied album after the photo data", lambda: frame("Quillbook "))
if wren:
    # The supplied album refuses a dropped picture, with its warning.
    before = slot(wren, 4).description
    drag_onto(wren, 4, lambda: frame("WARNING", state=pyatspi.STATE_SHOWING) or slot(wren, 4).description != before)
    if wait_for("the supplied album's warning on a drop", lambda: frame("WARNING", state=pyatspi.STATE_SHOWING)):
        subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^WARNING$", "windowactivate", "--sync"])
        wait_for("the warning with the keyboard", lambda: frame("WARNING"))
        key("Return")
    wait_for("the supplied album after the warning", lambda: frame("Quillbook "))
    if slot(wren, 4).description != before:
        faults.append("FAIL: the supplied album took a dropped picture")
    # A new album takes it into the slot it fell on.
    key("ctrl+o")
    wait_for("the options screen a third time", lambda: frame("Quillbook by Wren", "Options"))
    key("Down", "Return")
    fresh = wait_for("a new album's page again", lambda: frame('Album "New Album -- Page 1"'))
    if fresh:
        drag_onto(fresh, 4, lambda: slot(fresh, 4).name != "Page 1, slot 4, empty" or
                  frame("ERROR", state=pyatspi.STATE_SHOWING))
        if (slot(fresh, 4).name, slot(fresh, 4).description) != ("Page 1, picture 4", picture.rsplit("/", 1)[-1]):
            faults.append("FAIL: slot 4 after the drop is heard as %r" % ((slot(fresh, 4).name,
                                                                         slot(fresh, 4).description),))
        others = [slot(fresh, i).name for i in range(12) if i != 4]
        if others != ["Page 1, slot %d, empty" % i for i in range(12) if i != 4]:
            faults.append("FAIL: other slots changed by the drop: %r" % others)

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
