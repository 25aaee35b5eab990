#!/usr/bin/python3
"""Top-level X windows with the classes and titles a run asks for, as a Qt application names its windows
(WM_NAME and _NET_WM_NAME both UTF8_STRING): several of one class, titles alike or not, or a title full of
what a shell or a regular expression would take for syntax.

The windows are given as JSON on the command line: [{"class": [INSTANCE, CLASS], "title": TITLE,
"place": [X, Y, WIDTH, HEIGHT], "colour": [R, G, B]}, ...]. Once they are mapped it prints one JSON line,
{"pid": PID, "ids": [ID, ...]}, and it ends when its stdin closes.

Usage: titled_windows.py JSON
"""

import json
import os
import select
import sys

from Xlib import X, Xatom, Xutil, display, error


def pixel_of(rgb):
    red, green, blue = rgb
    return (red << 16) | (green << 8) | blue


def make_window(connection, plan):
    screen = connection.screen()
    x, y, width, height = plan["place"]
    window = screen.root.create_window(x, y, width, height, 0, screen.root_depth, X.InputOutput, X.CopyFromParent,
                                       background_pixel=pixel_of(plan["colour"]), event_mask=X.StructureNotifyMask)
    window.set_wm_class(*plan["class"])
    title = plan["title"].encode()
    utf8 = connection.intern_atom("UTF8_STRING")
    window.change_property(Xatom.WM_NAME, utf8, 8, title)
    window.change_property(connection.intern_atom("_NET_WM_NAME"), utf8, 8, title)
    # A fixed size at a user-given place: the window manager neither moves nor resizes it.
    window.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.USSize | Xutil.PMinSize | Xutil.PMaxSize,
                               min_width=width, min_height=height, max_width=width, max_height=height)
    window.map()
    return window


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    try:
        connection = display.Display()
        windows = [make_window(connection, plan) for plan in json.loads(sys.argv[1])]
        connection.sync()
        print(json.dumps({"pid": os.getpid(), "ids": [window.id for window in windows]}), flush=True)
        while True:
            while connection.pending_events():
                connection.next_event()
            if select.select([sys.stdin], [], [], 0.1)[0] and not sys.stdin.read(1):
                break
    except (error.ConnectionClosedError, BrokenPipeError):
        pass  # the display went away: nothing is left to show
    return 0


if __name__ == "__main__":
    sys.exit(main())
