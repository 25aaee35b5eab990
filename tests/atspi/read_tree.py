#!/usr/bin/python3
"""An independent reading of one application's accessible elements, through pyatspi, for the element
system's tests: every element under the application's top-level elements, one a line, tab-separated:

  PATH  PARENT_PATH  ROLE  NAME  X  Y  WIDTH  HEIGHT  VISIBLE  SHOWING

ROLE and NAME as the application gives them (tabs and line ends become spaces); the extents as reported in
screen coordinates, or "-" four times when the element has none. The top-level elements come with the
parent path "-".

Usage: read_tree.py PID
"""

import sys

import pyatspi

MAX_ELEMENTS = 5000


def clean(text):
    return (text or "").replace("\t", " ").replace("\n", " ").replace("\r", " ")


def line(element, parent_path):
    try:
        box = element.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        extents = [str(box.x), str(box.y), str(box.width), str(box.height)]
    except Exception:
        extents = ["-"] * 4
    states = element.getState()
    fields = [element.path, parent_path, clean(element.getRoleName()), clean(element.name)] + extents
    fields += ["1" if states.contains(pyatspi.STATE_VISIBLE) else "0"]
    fields += ["1" if states.contains(pyatspi.STATE_SHOWING) else "0"]
    return "\t".join(fields)


def main():
    pid = int(sys.argv[1])
    desktop = pyatspi.Registry.getDesktop(0)
    application = next(app for app in desktop if app is not None and app.get_process_id() == pid)
    pending = [(top, "-") for top in application if top is not None]
    seen = set()
    out = []
    while pending and len(out) < MAX_ELEMENTS:
        element, parent_path = pending.pop()
        if element.path in seen:
            continue
        seen.add(element.path)
        out.append(line(element, parent_path))
        pending.extend((child, element.path) for child in element if child is not None)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
