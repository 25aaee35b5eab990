#!/usr/bin/python3
"""An independent reading, through pyatspi, of the elements a user points at inside one application's window:
what Hovermark's element rows and frame must show there.

It never asks the application which element is at a point. It reads the tree and picks, from the element
that stands for the X window down, the last visible child that holds the point (only a showing one where the
toolkit marks children as showing; a child without extents holds the point when one of its own children
does). Extents reported relative to the window (GTK 4) are moved by the window's origin first. It prints one
line of JSON:

  {"rows": [[ROLE, NAME], ...], "rect": [LEFT, TOP, RIGHT, BOTTOM], "offset": [DX, DY]}

rows: the deepest element first, up to but not including the element that stands for the window, each name
cleaned as Hovermark cleans a window's text; rect: the deepest element's screen rectangle; offset: what was
added to every reported extent.

Usage: expected_elements.py PID X Y WINDOW_LEFT WINDOW_TOP WINDOW_WIDTH WINDOW_HEIGHT

With --controls PID DOCUMENT, it reads instead where the controls of a page lie: inside the application's
document element named DOCUMENT, the first element of each role and name in CONTROLS that has extents, as
{"controls": {KEY: [X, Y, WIDTH, HEIGHT], ...}} with only those found. With --registered PID, whether the
registry lists an application of that process: {"registered": true} or false.
"""

import json
import sys

import pyatspi

# How deep an element without extents is searched for a child that holds the point.
MAX_DEPTH = 64
# How many levels the descent goes at most: as many as Hovermark's list has rows.
MAX_LEVELS = 1000
# The browsers' page (browser_page.html): each control's role and name as the accessibility bus gives them.
CONTROLS = {"button": ("push button", "Press me"), "entry": ("entry", "Greeting field"),
            "check": ("check box", "Nested choice"), "link": ("link", "A link")}
# How many elements a page's controls are searched among.
MAX_PAGE_ELEMENTS = 5000


def extents(element, offset):
    try:
        box = element.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except Exception:
        return None
    if box.width <= 0 or box.height <= 0:
        return None
    return box.x + offset[0], box.y + offset[1], box.x + offset[0] + box.width, box.y + offset[1] + box.height


def contains(rect, point):
    return rect is not None and rect[0] <= point[0] < rect[2] and rect[1] <= point[1] < rect[3]


def has(element, state):
    return element.getState().contains(state)


def holds(element, point, offset, depth=0):
    rect = extents(element, offset)
    if rect is not None:
        return contains(rect, point)
    return depth < MAX_DEPTH and any(child is not None and has(child, pyatspi.STATE_VISIBLE)
                                     and holds(child, point, offset, depth + 1) for child in element)


def child_at(element, point, offset):
    children = [child for child in element if child is not None and has(child, pyatspi.STATE_VISIBLE)]
    if any(has(child, pyatspi.STATE_SHOWING) for child in children):
        children = [child for child in children if has(child, pyatspi.STATE_SHOWING)]
    found = [child for child in children if holds(child, point, offset)]
    return found[-1] if found else None


def clean(text):
    return (text or "").replace("\0", " ").strip(" ")


def window_element(application, window):
    """The application's top-level element for the X window, and the offset its extents need. In screen
    coordinates a top-level element covers its window (a window manager's frame included, where the toolkit
    counts it); one that claims the window's size elsewhere reports relative to the window."""
    left, top, width, height = window
    for top_level in application:
        if top_level is None:
            continue
        box = top_level.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if box.x <= left and box.y <= top and box.x + box.width >= left + width and box.y + box.height >= top + height:
            return top_level, (0, 0)
        if (box.width, box.height) == (width, height):
            return top_level, (left - box.x, top - box.y)
    raise SystemExit(f"no top-level element of the application matches the window {window}")


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    return next((app for app in desktop if app is not None and app.get_process_id() == pid), None)


def application_of(pid):
    found = find_application(pid)
    if found is None:
        raise SystemExit(f"the registry knows no application of process {pid}")
    return found


def page_controls(pid, document_name):
    """Where the page's controls lie, read from the tree under the document element: {key: [x, y, w, h]}."""
    pending = [application_of(pid)]
    documents, examined = [], 0
    while pending and examined < MAX_PAGE_ELEMENTS:
        element = pending.pop()
        examined += 1
        if element.getRoleName() == "document web" and clean(element.name) == document_name:
            documents.append(element)
        else:
            pending.extend(child for child in element if child is not None)
    found = {}
    pending = documents
    while pending and examined < MAX_PAGE_ELEMENTS:
        element = pending.pop(0)
        examined += 1
        for key, wanted in CONTROLS.items():
            box = extents(element, (0, 0))
            if key not in found and (element.getRoleName(), clean(element.name)) == wanted and box is not None:
                found[key] = [box[0], box[1], box[2] - box[0], box[3] - box[1]]
        pending.extend(child for child in element if child is not None)
    return found


def main():
    if sys.argv[1] == "--controls":
        print(json.dumps({"controls": page_controls(int(sys.argv[2]), sys.argv[3])}))
        return
    if sys.argv[1] == "--registered":
        print(json.dumps({"registered": find_application(int(sys.argv[2])) is not None}))
        return
    pid, x, y, *window = (int(value) for value in sys.argv[1:8])
    application = application_of(pid)
    top_level, offset = window_element(application, window)
    chain = []
    element = top_level
    while len(chain) < MAX_LEVELS:
        child = child_at(element, (x, y), offset)
        if child is None:
            break
        chain.append(child)
        element = child
    rows = [[clean(found.getRoleName()), clean(found.name)] for found in reversed(chain)]
    rect = extents(chain[-1], offset) if chain else None
    print(json.dumps({"rows": rows, "rect": rect, "offset": offset}))


if __name__ == "__main__":
    main()
