#!/usr/bin/python3
"""A GTK 3 application whose controls live inside one X window, for runs that read them through the
accessibility bus.

Inside one top-level window: a push button, a text field, and a frame holding a box holding a labelled check
box (the nested container). Given a DEPTH, the window holds instead one button "Deep button" inside DEPTH
boxes, each inside the next, whose accessible names are "Level 1" (the outermost) to "Level DEPTH", so that
every level is an element of its own with a name to tell it by. Once everything is drawn it prints one line of
JSON to stdout and keeps running until it is ended:

  {"toolkit": "gtk3", "pid": PID, "xid": X_WINDOW_ID, "title": TITLE,
   "controls": {"button": [x, y, width, height], ...}}

The rectangles are the controls' allocations in root (screen) coordinates, read from GTK itself. It reads
commands from stdin, one a line: "remove button" destroys the button; end of input or "quit" ends it.

Usage: gtk3_fixture.py [X Y [DEPTH]]   (where the window manager should place the window; default 60 80)
"""

import json
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GdkX11, GLib, Gtk  # noqa: E402,F401

TITLE = "Hovermark GTK 3 fixture"


def screen_rect(widget):
    window = widget.get_toplevel().get_window()
    origin_x, origin_y = window.get_origin()[1:]
    x, y = widget.translate_coordinates(widget.get_toplevel(), 0, 0)
    allocation = widget.get_allocation()
    return [origin_x + x, origin_y + y, allocation.width, allocation.height]


def ordinary():
    """The button, the text field and the check box in its frame and box; the outermost box."""
    outer = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=12, margin=16)
    button = Gtk.Button(label="Press me")
    entry = Gtk.Entry(text="Grüße — Привет")
    entry.get_accessible().set_name("Greeting field")
    frame = Gtk.Frame(label="Options")
    inner = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL, spacing=8, margin=10)
    check = Gtk.CheckButton(label="Nested choice")
    inner.pack_start(check, False, False, 0)
    frame.add(inner)
    outer.pack_start(button, False, False, 0)
    outer.pack_start(entry, False, False, 0)
    outer.pack_start(frame, True, True, 0)
    return {"button": button, "entry": entry, "frame": frame, "check": check}, outer


def nested(depth):
    """The button inside depth boxes, one inside the next; the outermost box."""
    button = Gtk.Button(label="Deep button")
    inside = button
    for level in range(depth, 0, -1):
        box = Gtk.Box()
        box.get_accessible().set_name(f"Level {level}")
        box.pack_start(inside, True, True, 0)
        inside = box
    return {"button": button}, inside


def main():
    place = (int(sys.argv[1]), int(sys.argv[2])) if len(sys.argv) >= 3 else (60, 80)
    depth = int(sys.argv[3]) if len(sys.argv) >= 4 else 0
    title = f"{TITLE}, {depth} levels deep" if depth else TITLE
    window = Gtk.Window(title=title)
    window.set_default_size(420, 300)
    window.move(*place)
    controls, outer = nested(depth) if depth else ordinary()
    window.add(outer)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()

    def report():
        info = {
            "toolkit": "gtk3",
            "pid": os.getpid(),
            "xid": window.get_window().get_xid(),
            "title": title,
            "controls": {name: screen_rect(widget) for name, widget in controls.items()},
        }
        print(json.dumps(info), flush=True)
        return False

    def command(channel, condition):
        line = sys.stdin.readline().strip()
        if line == "remove button":
            controls["button"].destroy()
            return True
        Gtk.main_quit()
        return False

    # Reported once the window has been placed and drawn.
    GLib.timeout_add(700, report)
    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, command)
    Gtk.main()


if __name__ == "__main__":
    main()
