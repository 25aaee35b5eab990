#!/usr/bin/python3
"""An independent reading, through pyatspi, of what a locator's check reads: the desktop's applications in
the order a test framework walks them, and one application's whole tree in pre-order, children by index, as
dogtail (which reads through pyatspi the same way) searches it. Every text is UTF-8 in hex, so that tabs, line
breaks and names of any size come through whole:

  scopes  NAME NAME ...                          the applications, in order
  DEPTH   ROLE  NAME  ACCESSIBLE_ID  ID_ATTRIBUTE   one line an element, the application itself at depth 0

ROLE is pyatspi's role name (libatspi's, as dogtail compares it); the application's own line has no id fields.

Usage: read_locator_tree.py PID
"""

import sys

import pyatspi

MAX_ELEMENTS = 5000


def hexed(text):
    return (text or "").encode("utf-8", "surrogatepass").hex()


def main():
    pid = int(sys.argv[1])
    desktop = pyatspi.Registry.getDesktop(0)
    applications = [app for app in desktop if app is not None]
    out = ["\t".join(["scopes"] + [hexed(app.name) for app in applications])]
    application = next(app for app in applications if app.get_process_id() == pid)
    out.append("\t".join(["0", hexed(application.getRoleName()), hexed(application.name), "", ""]))
    pending = [(child, 1) for child in reversed(list(application)) if child is not None]
    while pending and len(out) < MAX_ELEMENTS:
        element, depth = pending.pop()
        identifier = element.get_attributes().get("id", "")
        out.append("\t".join([str(depth), hexed(element.getRoleName()), hexed(element.name),
                              hexed(element.accessibleId), hexed(identifier)]))
        pending.extend((child, depth + 1) for child in reversed(list(element)) if child is not None)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
