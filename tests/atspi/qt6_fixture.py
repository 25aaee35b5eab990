#!/usr/bin/python3
"""A Qt 6 Widgets application whose controls live inside one X window, for runs that read them through the
accessibility bus. Qt describes its controls on the bus only while the accessibility bus's IsEnabled is true,
so this fixture shows whether its reader switched that on.

Inside one top-level window: a push button, a text field, and a group box holding a check box (the nested
container). Given a DEPTH, the window holds instead one button "Deep button" inside DEPTH widgets, each inside
the next, whose accessible names are "Level 1" (the outermost) to "Level DEPTH", so that every level is an
element of its own with a name to tell it by. Once everything is drawn it prints one line of JSON to stdout and
keeps running until it is ended:

  {"toolkit": "qt6", "pid": PID, "xid": X_WINDOW_ID, "title": TITLE,
   "controls": {"button": [x, y, width, height], ...}}

The rectangles are the controls' screen rectangles, read from Qt itself. It reads commands from stdin, one a
line: "remove button" deletes the button; end of input or "quit" ends it.

Usage: qt6_fixture.py [X Y [DEPTH [TITLE]]]   (where the window manager should place the window, default 60 80;
                                               DEPTH 0 for the ordinary controls; a title of its own)
"""

import json
import os
import sys

from PyQt6.QtCore import QSocketNotifier, QTimer
from PyQt6.QtWidgets import (QApplication, QCheckBox, QGroupBox, QHBoxLayout, QLineEdit, QPushButton,
                             QVBoxLayout, QWidget)

TITLE = "Hovermark Qt 6 fixture"


def screen_rect(widget):
    origin = widget.mapToGlobal(widget.rect().topLeft())
    return [origin.x(), origin.y(), widget.width(), widget.height()]


def ordinary(window):
    """The button, the text field and the check box in its group box, laid out in the window."""
    outer = QVBoxLayout(window)
    button = QPushButton("Press me")
    entry = QLineEdit("Grüße — Привет")
    entry.setAccessibleName("Greeting field")
    group = QGroupBox("Options")
    inner = QHBoxLayout(group)
    check = QCheckBox("Nested choice")
    inner.addWidget(check)
    outer.addWidget(button)
    outer.addWidget(entry)
    outer.addWidget(group, 1)
    return {"button": button, "entry": entry, "group": group, "check": check}


def nested(window, depth):
    """The button inside depth widgets, one inside the next, the outermost filling the window."""
    inside = window
    for level in range(1, depth + 1):
        box = QWidget()
        box.setAccessibleName(f"Level {level}")
        layout = QVBoxLayout(inside)
        layout.setContentsMargins(0, 0, 0, 0)
        layout.addWidget(box)
        inside = box
    button = QPushButton("Deep button")
    layout = QVBoxLayout(inside)
    layout.setContentsMargins(0, 0, 0, 0)
    layout.addWidget(button)
    return {"button": button}


def main():
    place = (int(sys.argv[1]), int(sys.argv[2])) if len(sys.argv) >= 3 else (60, 80)
    depth = int(sys.argv[3]) if len(sys.argv) >= 4 else 0
    title = f"{TITLE}, {depth} levels deep" if depth else TITLE
    if len(sys.argv) >= 5:
        title = sys.argv[4]
    # Qt's own X11 platform, whatever the session offers.
    application = QApplication(sys.argv[:1] + ["-platform", "xcb"])
    window = QWidget()
    window.setWindowTitle(title)
    window.resize(420, 300)
    window.move(*place)
    controls = nested(window, depth) if depth else ordinary(window)
    window.show()

    def report():
        info = {
            "toolkit": "qt6",
            "pid": os.getpid(),
            "xid": int(window.winId()),
            "title": title,
            "controls": {name: screen_rect(widget) for name, widget in controls.items()},
        }
        print(json.dumps(info), flush=True)

    def command():
        line = sys.stdin.readline().strip()
        if line == "remove button":
            controls["button"].deleteLater()
            return
        application.quit()

    # Reported once the window has been placed and drawn.
    QTimer.singleShot(700, report)
    notifier = QSocketNotifier(sys.stdin.fileno(), QSocketNotifier.Type.Read)
    notifier.activated.connect(command)
    application.exec()


if __name__ == "__main__":
    main()
