#!/usr/bin/python3
"""A GTK 3 application for the checks of copied locators: buttons that a test framework can tell apart only by
where they lie, and buttons whose names a locator must quote with care.

  duplicates: "OK" in the framed group "Group A" and "OK" in the framed group "Group B" (same role and name,
              told apart by their groups' names); two "Apply" side by side in the group "Group C" (told apart by
              nothing but their order); "Save" with the accessible id "save-button" and another "Save" beside it
              without one.
  hostile:    buttons named with quotes ' and ", backslashes, a tab, line breaks, a character outside the Basic
              Multilingual Plane, characters a regular expression reads as its own, and one name of 1 MiB
              (given to the button's element only; its label stays short). AT-SPI carries names as D-Bus
              strings, which cannot hold NUL, so no name here has one.

Once everything is drawn it prints one line of JSON to stdout and keeps running until it is ended:

  {"toolkit": "gtk3", "pid": PID, "xid": X_WINDOW_ID, "title": TITLE, "application": "hovermark-locator-MODE",
   "controls": {"ok-a": [x, y, width, height], ...}, "names": {"ok-a": "OK", ...}}

The rectangles are the buttons' allocations in root (screen) coordinates, read from GTK itself; "names" are
their accessible names, exact. It reads commands from stdin, one a line: end of input or "quit" ends it.

Usage: locator_fixture.py X Y duplicates|hostile
"""

import json
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GdkX11, GLib, Gtk  # noqa: E402,F401

HUGE_NAME_BYTES = 1 << 20


def screen_rect(widget):
    window = widget.get_toplevel().get_window()
    origin_x, origin_y = window.get_origin()[1:]
    x, y = widget.translate_coordinates(widget.get_toplevel(), 0, 0)
    allocation = widget.get_allocation()
    return [origin_x + x, origin_y + y, allocation.width, allocation.height]


def button(label, name=None, accessible_id=None):
    made = Gtk.Button(label=label)
    if name is not None:
        made.get_accessible().set_name(name)
    if accessible_id is not None:
        made.get_accessible().set_accessible_id(accessible_id)
    return made


def framed(title, *children):
    frame = Gtk.Frame(label=title)
    box = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL, spacing=8, margin=8)
    for child in children:
        box.pack_start(child, True, True, 0)
    frame.add(box)
    return frame


def duplicates():
    controls = {"ok-a": button("OK"), "ok-b": button("OK"), "apply-1": button("Apply"), "apply-2": button("Apply"),
                "save": button("Save", accessible_id="save-button"), "save-plain": button("Save")}
    outer = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=10, margin=12)
    groups = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL, spacing=10)
    groups.pack_start(framed("Group A", controls["ok-a"]), True, True, 0)
    groups.pack_start(framed("Group B", controls["ok-b"]), True, True, 0)
    outer.pack_start(groups, False, False, 0)
    outer.pack_start(framed("Group C", controls["apply-1"], controls["apply-2"]), False, False, 0)
    saving = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL, spacing=10)
    saving.pack_start(controls["save"], True, True, 0)
    saving.pack_start(controls["save-plain"], True, True, 0)
    outer.pack_start(saving, False, False, 0)
    return controls, outer


def huge_name():
    """1 MiB of UTF-8 that is not one letter over and over, so that a name cut short anywhere shows."""
    parts, size, number = ["Huge name: "], 0, 0
    while size < HUGE_NAME_BYTES:
        parts.append(f"{number} é ")
        size += len(parts[-1].encode())
        number += 1
    return "".join(parts).encode()[:HUGE_NAME_BYTES].decode("utf-8", "ignore")


def hostile():
    names = {
        "quotes": "It's \"quoted\"",
        "backslashes": "back\\slash \\\\ and \\n",
        "tab": "tab\there",
        "line-breaks": "line\nbreak\r\nand CR\rend",
        "beyond-bmp": "smile \U0001F600 and \U00010348",
        "regex": "C++ (a.b) [x *y? $1 ^z|w",
        "huge": huge_name(),
    }
    labels = {"huge": "Huge name", "tab": "tab here", "line-breaks": "line breaks"}
    controls = {key: button(labels.get(key, name), name=name if key in labels else None)
                for key, name in names.items()}
    grid = Gtk.Grid(row_spacing=8, column_spacing=10, margin=12, column_homogeneous=True)
    for index, key in enumerate(names):
        grid.attach(controls[key], index % 2, index // 2, 1, 1)
    return controls, grid


def main():
    place = (int(sys.argv[1]), int(sys.argv[2]))
    mode = sys.argv[3]
    # The application's name on the accessibility bus, which a locator starts from.
    application = f"hovermark-locator-{mode}"
    GLib.set_prgname(application)
    title = f"Hovermark locator fixture: {mode}"
    window = Gtk.Window(title=title)
    window.set_default_size(460, 200)
    window.move(*place)
    controls, outer = duplicates() if mode == "duplicates" else hostile()
    window.add(outer)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()

    def report():
        info = {
            "toolkit": "gtk3",
            "pid": os.getpid(),
            "xid": window.get_window().get_xid(),
            "title": title,
            "application": application,
            "controls": {key: screen_rect(widget) for key, widget in controls.items()},
            "names": {key: widget.get_accessible().get_name() for key, widget in controls.items()},
        }
        print(json.dumps(info), flush=True)
        return False

    def command(channel, condition):
        sys.stdin.readline()
        Gtk.main_quit()
        return False

    # Reported once the window has been placed and drawn.
    GLib.timeout_add(700, report)
    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, command)
    Gtk.main()


if __name__ == "__main__":
    main()
