#!/usr/bin/python3
"""The X application the native end-to-end run points Hovermark at.

A main window owns a dialog (WM_TRANSIENT_FOR); the dialog holds a panel child window, and the panel a
button-like grandchild; a lone top-level window has no owner. Each window has its own WM_CLASS (or none) and a
name that exercises the text rules: UTF-8 beyond Latin-1, Latin-1 in WM_NAME, surrounding spaces, a tab, a
NUL. All of them sit at fixed screen places, clear of Hovermark's centred window, in solid colours the harness
recognises.

It writes its windows' ids and outer rectangles (root coordinates) to an info file, and takes commands
through a command file ("destroy-dialog", "quit"), since keys sent to it would go astray while Hovermark keeps
the focus.

Usage: fixture_app.py INFO_FILE COMMAND_FILE
"""

import os
import select
import sys

from Xlib import X, Xatom, Xutil, display, error

# Places on a 1280 x 1024 screen: (x, y, width, height). Top-levels are placed by position hints the window
# manager honours; its frame then pushes the client down by the title bar's height.
MAIN_PLACE = (20, 20, 420, 260)
DIALOG_PLACE = (560, 30, 380, 240)
LONE_PLACE = (20, 740, 420, 240)
# Children, relative to their parent.
PANEL_PLACE = (30, 30, 320, 180)
BUTTON_PLACE = (100, 70, 120, 40)

MAIN_COLOUR = (0x2B, 0x57, 0x9A)
DIALOG_COLOUR = (0x9F, 0xB4, 0xCC)
PANEL_COLOUR = (0xDD, 0xE6, 0xF0)
LONE_COLOUR = (0x3C, 0x8D, 0x5A)
BUTTON_FACE_COLOUR = (0xF4, 0xF1, 0xE8)
BUTTON_EDGE_COLOUR = (0x4A, 0x55, 0x68)
LABEL_COLOUR = (0x10, 0x10, 0x10)

# WM_CLASS (instance, class); None: the window has no WM_CLASS at all.
MAIN_CLASS = ("fixture-main", "HovermarkFixture")
DIALOG_CLASS = ("fixture-dialog", "HovermarkFixture")
PANEL_CLASS = None
BUTTON_CLASS = ("fixture-button", "FixtureButton")
LONE_CLASS = ("fixture-lone", "HovermarkFixture")

# Names as raw bytes: (_NET_WM_NAME in UTF-8, WM_NAME in Latin-1); None leaves the property out. The dialog's
# two names differ, so a reader that prefers WM_NAME shows the wrong one.
MAIN_NAMES = ("  Fixture Main  ".encode(), b"  Fixture Main  ")
DIALOG_NAMES = ("  Grüße — Привет\t".encode(), b"Dialog (WM_NAME)")
PANEL_NAMES = (None, "  Panneau\tintérieur  ".encode("latin-1"))
BUTTON_NAMES = (b"  Press\0me  ", None)
LONE_NAMES = (None, b"  Lone  top-level window ")

BUTTON_LABEL = b"Press me"
COMMAND_POLL_SECONDS = 0.05


def pixel_of(rgb):
    # The default visual of a 24-bit Xvfb screen is TrueColor with 8 bits per channel.
    red, green, blue = rgb
    return (red << 16) | (green << 8) | blue


class Fixture:
    def __init__(self, info_path, command_path):
        self.info_path = info_path
        self.command_path = command_path
        self.display = display.Display()
        self.screen = self.display.screen()
        self.root = self.screen.root
        self.atom = self.display.intern_atom
        self.dialog_destroyed = False

        self.main = self.top_level(MAIN_PLACE, MAIN_COLOUR, MAIN_CLASS, MAIN_NAMES)
        self.dialog = self.top_level(DIALOG_PLACE, DIALOG_COLOUR, DIALOG_CLASS, DIALOG_NAMES)
        self.dialog.set_wm_transient_for(self.main)
        self.dialog.change_property(self.atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32,
                                    [self.atom("_NET_WM_WINDOW_TYPE_DIALOG")])
        self.panel = self.child(self.dialog, PANEL_PLACE, PANEL_COLOUR, PANEL_CLASS, PANEL_NAMES)
        self.button = self.child(self.panel, BUTTON_PLACE, BUTTON_FACE_COLOUR, BUTTON_CLASS, BUTTON_NAMES)
        self.lone = self.top_level(LONE_PLACE, LONE_COLOUR, LONE_CLASS, LONE_NAMES)

        font = self.display.open_font("fixed")
        self.edge_gc = self.button.create_gc(foreground=pixel_of(BUTTON_EDGE_COLOUR))
        self.label_gc = self.button.create_gc(foreground=pixel_of(LABEL_COLOUR), font=font)

        for window in (self.panel, self.button):
            window.map()
        for window in (self.main, self.dialog, self.lone):
            window.map()
        self.display.sync()
        self.write_info()

    def create(self, parent, place, colour, wm_class, names, event_mask):
        x, y, width, height = place
        window = parent.create_window(x, y, width, height, 0, self.screen.root_depth, X.InputOutput,
                                      X.CopyFromParent, background_pixel=pixel_of(colour), event_mask=event_mask)
        if wm_class is not None:
            window.set_wm_class(*wm_class)
        utf8_name, latin1_name = names
        if utf8_name is not None:
            window.change_property(self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING"), 8, utf8_name)
        if latin1_name is not None:
            window.change_property(Xatom.WM_NAME, Xatom.STRING, 8, latin1_name)
        return window

    def top_level(self, place, colour, wm_class, names):
        window = self.create(self.root, place, colour, wm_class, names, X.StructureNotifyMask)
        _, _, width, height = place
        # A fixed size at a user-given place: the window manager neither moves nor resizes it.
        window.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.USSize | Xutil.PMinSize | Xutil.PMaxSize,
                                   min_width=width, min_height=height, max_width=width, max_height=height)
        window.set_wm_protocols([self.atom("WM_DELETE_WINDOW")])
        window.change_property(self.atom("_NET_WM_PID"), Xatom.CARDINAL, 32, [os.getpid()])
        return window

    def child(self, parent, place, colour, wm_class, names):
        return self.create(parent, place, colour, wm_class, names, X.ExposureMask)

    def draw_button(self):
        _, _, width, height = BUTTON_PLACE
        self.button.rectangle(self.edge_gc, 0, 0, width - 1, height - 1)
        label_width = 6 * len(BUTTON_LABEL)  # "fixed" is 6 pixels a character
        self.button.draw_text(self.label_gc, (width - label_width) // 2, height // 2 + 4, BUTTON_LABEL)

    def rect_of(self, window):
        origin = self.root.translate_coords(window, 0, 0)
        size = window.get_geometry()
        return origin.x, origin.y, origin.x + size.width, origin.y + size.height

    # Written to a temporary file and renamed, so the harness never reads half an info file.
    def write_info(self):
        named = [("main", self.main), ("lone", self.lone)]
        if not self.dialog_destroyed:
            named += [("dialog", self.dialog), ("panel", self.panel), ("button", self.button)]
        lines = [f"pid={os.getpid()}"]
        for name, window in named:
            lines.append(f"{name}_id={window.id}")
            lines.append(f"{name}_rect={' '.join(str(value) for value in self.rect_of(window))}")
        if self.dialog_destroyed:
            lines.append("dialog_destroyed=1")
        temporary = self.info_path + ".tmp"
        with open(temporary, "w", encoding="utf-8") as info:
            info.write("\n".join(lines) + "\n")
        os.replace(temporary, self.info_path)

    def take_command(self):
        try:
            with open(self.command_path, encoding="utf-8") as command_file:
                command = command_file.read().strip()
        except FileNotFoundError:
            return None
        os.remove(self.command_path)
        return command

    def run(self):
        while True:
            while self.display.pending_events():
                event = self.display.next_event()
                if event.type == X.Expose and event.window == self.button and event.count == 0:
                    self.draw_button()
                elif event.type in (X.ConfigureNotify, X.ReparentNotify, X.MapNotify):
                    # A window manager's frame moves the top-levels: the info file follows them.
                    self.write_info()
                elif event.type == X.ClientMessage:
                    pass  # WM_DELETE_WINDOW: the harness alone ends the fixture
            command = self.take_command()
            if command == "destroy-dialog" and not self.dialog_destroyed:
                self.dialog.destroy()
                self.display.sync()
                self.dialog_destroyed = True
                self.write_info()
            elif command == "quit":
                return
            self.display.flush()
            select.select([self.display], [], [], COMMAND_POLL_SECONDS)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    try:
        Fixture(sys.argv[1], sys.argv[2]).run()
    except (error.ConnectionClosedError, BrokenPipeError):
        return 0  # the display went away: nothing is left to show
    return 0


if __name__ == "__main__":
    sys.exit(main())
