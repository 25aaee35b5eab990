#!/usr/bin/python3
"""A GTK 4 application whose controls live inside one X window, for runs that read them through the
accessibility bus. GTK 4.8 reports its elements' "screen" extents relative to its own window, and answers
GetAccessibleAtPoint wrongly below its top level; this fixture shows both.

Inside one top-level window: a push button, a text field, and a stack of two pages of which the second is
shown, holding a labelled check box. With "headerbar" the window has a header bar as its title bar, so GTK
draws the window's decorations itself (client-side), inside its X window. Once everything is drawn it prints
one line of JSON to stdout and keeps running until it is ended:

  {"toolkit": "gtk4", "pid": PID, "xid": X_WINDOW_ID, "title": TITLE, "content": [x, y, width, height],
   "controls": {"button": [x, y, width, height], ...}}

The rectangles are relative to the X window's origin (GTK 4 has no screen coordinates); a reader adds the
window's origin in root coordinates. "content" is the window's own widget, the origin of its elements' extents:
the whole X window, or less the margin client-side decorations leave around it. End of input on stdin ends it.

Usage: gtk4_fixture.py [X Y [headerbar]]   (X and Y are ignored: GTK 4 cannot place its window)
"""

import json
import os
import sys

import gi

gi.require_version("Gtk", "4.0")
gi.require_version("GdkX11", "4.0")
from gi.repository import GdkX11, GLib, Gtk  # noqa: E402,F401

TITLE = "Hovermark GTK 4 fixture"


def content_rect(window):
    """Where the window's own widget lies in its X window: client-side decorations leave a margin around it."""
    dx, dy = window.get_surface_transform()
    return [round(dx), round(dy), window.get_width(), window.get_height()]


def window_rect(widget):
    ok, bounds = widget.compute_bounds(widget.get_root())
    dx, dy = content_rect(widget.get_root())[:2]
    return [round(bounds.get_x()) + dx, round(bounds.get_y()) + dy, round(bounds.get_width()),
            round(bounds.get_height())]


def main():
    loop = GLib.MainLoop()
    window = Gtk.Window(title=TITLE)
    window.set_default_size(420, 300)
    if "headerbar" in sys.argv[3:]:
        window.set_titlebar(Gtk.HeaderBar())
    outer = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=12)
    for side in ("top", "bottom", "start", "end"):
        getattr(outer, "set_margin_" + side)(16)
    button = Gtk.Button(label="Press me")
    entry = Gtk.Entry(text="Grüße — Привет")
    stack = Gtk.Stack(vexpand=True)
    stack.add_named(Gtk.Label(label="Hidden page"), "first")
    inner = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL, spacing=8)
    check = Gtk.CheckButton(label="Nested choice")
    inner.append(check)
    stack.add_named(inner, "second")
    stack.set_visible_child_name("second")
    outer.append(button)
    outer.append(entry)
    outer.append(stack)
    window.set_child(outer)
    window.connect("close-request", lambda *_: loop.quit())
    window.present()

    def report():
        controls = {"button": button, "entry": entry, "stack": stack, "check": check}
        info = {
            "toolkit": "gtk4",
            "pid": os.getpid(),
            "xid": window.get_surface().get_xid(),
            "title": TITLE,
            "content": content_rect(window),
            "controls": {name: window_rect(widget) for name, widget in controls.items()},
        }
        print(json.dumps(info), flush=True)
        return False

    GLib.timeout_add(700, report)
    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    main()
