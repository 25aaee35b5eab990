#!/usr/bin/python3
"""An application of this project's own that speaks AT-SPI itself, for runs that read it through the
accessibility bus: one X window, and inside it a button twelve containers deep whose every extents call takes
190 ms to answer (within the 250 ms a call may take, but more than one tick's wait each). Like GTK 4.8 it
answers the element-at-point question with nothing, so a reader looks at the children, the last first; every
third container also holds two decoys after the way down, which do not hold the point: such a level costs three
slow calls, more than a tick may wait for.

It registers with the accessibility bus's registry, then prints one line of JSON to stdout and runs until its
stdin ends or says "quit":

  {"toolkit": "slow", "pid": PID, "xid": X_WINDOW_ID, "title": TITLE,
   "controls": {"button": [x, y, width, height]}}   (screen coordinates)

Usage: slow_tree_fixture.py [X Y]
"""

import json
import os
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib
from Xlib import X, Xatom, display

TITLE = "Hovermark slow tree fixture"
SIZE = (400, 300)
LEVELS = 12
EXTENTS_DELAY = 0.19
ROOT = "/org/a11y/atspi/accessible/root"
NULL = "/org/a11y/atspi/null"
ACCESSIBLE = "org.a11y.atspi.Accessible"
COMPONENT = "org.a11y.atspi.Component"
APPLICATION = "org.a11y.atspi.Application"
PROPERTIES = "org.freedesktop.DBus.Properties"
# The protocol's role numbers.
ROLE_APPLICATION, ROLE_FILLER, ROLE_FRAME, ROLE_PUSH_BUTTON = 75, 20, 23, 43
# The protocol's states: enabled, showing, visible.
STATES = dbus.Array([dbus.UInt32((1 << 8) | (1 << 25) | (1 << 30)), dbus.UInt32(0)], signature="u")


class Element(dbus.service.Object):
    """One element: its role, name and screen rectangle, its parent and children (other Elements)."""

    def __init__(self, bus, path, role, name, rect, parent):
        super().__init__(bus, path)
        self.bus_name = bus.get_unique_name()
        self.path, self.role, self.name, self.rect, self.parent = path, role, name, rect, parent
        self.children = []
        if parent is not None:
            parent.children.append(self)

    def ref(self):
        return dbus.Struct((self.bus_name, dbus.ObjectPath(self.path)), signature="so")

    def holds(self, x, y):
        left, top, width, height = self.rect
        return left <= x < left + width and top <= y < top + height

    @dbus.service.method(ACCESSIBLE, out_signature="a(so)")
    def GetChildren(self):
        return dbus.Array([child.ref() for child in self.children], signature="(so)")

    @dbus.service.method(ACCESSIBLE, in_signature="i", out_signature="(so)")
    def GetChildAtIndex(self, index):
        if 0 <= index < len(self.children):
            return self.children[index].ref()
        return dbus.Struct(("", dbus.ObjectPath(NULL)), signature="so")

    @dbus.service.method(ACCESSIBLE, out_signature="i")
    def GetIndexInParent(self):
        return self.parent.children.index(self) if self.parent is not None else -1

    @dbus.service.method(ACCESSIBLE, out_signature="u")
    def GetRole(self):
        return self.role

    @dbus.service.method(ACCESSIBLE, out_signature="s")
    def GetRoleName(self):
        return {ROLE_APPLICATION: "application", ROLE_FILLER: "filler", ROLE_FRAME: "frame",
                ROLE_PUSH_BUTTON: "push button"}[self.role]

    @dbus.service.method(ACCESSIBLE, out_signature="au")
    def GetState(self):
        return STATES

    @dbus.service.method(ACCESSIBLE, out_signature="as")
    def GetInterfaces(self):
        interfaces = [ACCESSIBLE] + ([APPLICATION] if self.role == ROLE_APPLICATION else [COMPONENT])
        return dbus.Array(interfaces, signature="s")

    @dbus.service.method(ACCESSIBLE, out_signature="a{ss}")
    def GetAttributes(self):
        return dbus.Dictionary({}, signature="ss")

    @dbus.service.method(ACCESSIBLE, out_signature="a(ua(so))")
    def GetRelationSet(self):
        return dbus.Array([], signature="(ua(so))")

    @dbus.service.method(ACCESSIBLE, out_signature="(so)")
    def GetApplication(self):
        return dbus.Struct((self.bus_name, dbus.ObjectPath(ROOT)), signature="so")

    @dbus.service.method(COMPONENT, in_signature="u", out_signature="(iiii)")
    def GetExtents(self, coordinates):
        time.sleep(EXTENTS_DELAY)
        return dbus.Struct(self.rect, signature="iiii")

    @dbus.service.method(COMPONENT, in_signature="iiu", out_signature="(so)")
    def GetAccessibleAtPoint(self, x, y, coordinates):
        return dbus.Struct(("", dbus.ObjectPath(NULL)), signature="so")

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if name == "Name":
            return dbus.String(self.name)
        if name == "ChildCount":
            return dbus.Int32(len(self.children))
        if name == "Parent":
            parent = self.parent.ref() if self.parent is not None else dbus.Struct(("", dbus.ObjectPath(NULL)),
                                                                                   signature="so")
            return parent
        if name == "ToolkitName":
            return dbus.String("slow")
        if name in ("Description", "Locale", "AccessibleId", "Version", "ToolkitVersion", "AtspiVersion"):
            return dbus.String("2.1" if name == "AtspiVersion" else "")
        if name == "Id":
            return dbus.Int32(0)
        raise dbus.exceptions.DBusException(f"no property {name}",
                                            name="org.freedesktop.DBus.Error.UnknownProperty")


def x_window(place):
    """The fixture's X window, mapped, titled, with its process id; its place on the root once mapped."""
    screen = display.Display()
    root = screen.screen().root
    window = root.create_window(place[0], place[1], SIZE[0], SIZE[1], 0, X.CopyFromParent, X.InputOutput,
                                X.CopyFromParent, background_pixel=screen.screen().white_pixel,
                                event_mask=X.StructureNotifyMask)
    window.set_wm_name(TITLE)
    window.change_property(screen.intern_atom("_NET_WM_NAME"), screen.intern_atom("UTF8_STRING"), 8,
                           TITLE.encode())
    window.change_property(screen.intern_atom("_NET_WM_PID"), Xatom.CARDINAL, 32, [os.getpid()])
    window.set_wm_class("slow_tree_fixture", "SlowTreeFixture")
    window.map()
    screen.sync()
    # Until the window manager has placed it.
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and window.get_attributes().map_state != X.IsViewable:
        time.sleep(0.1)
    time.sleep(0.3)
    origin = root.translate_coords(window, 0, 0)
    return screen, window, (origin.x, origin.y)


def main():
    place = (int(sys.argv[1]), int(sys.argv[2])) if len(sys.argv) >= 3 else (60, 80)
    screen, window, (left, top) = x_window(place)
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    address = dbus.SessionBus().get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(dbus_interface="org.a11y.Bus")
    bus = dbus.bus.BusConnection(str(address))
    application = Element(bus, ROOT, ROLE_APPLICATION, "slow_tree_fixture", (0, 0, 0, 0), None)
    frame = Element(bus, "/frame", ROLE_FRAME, TITLE, (left, top, SIZE[0], SIZE[1]), application)
    container = frame
    for level in range(1, LEVELS + 1):
        inset = 8 * level
        outer = container
        container = Element(bus, f"/level{level}", ROLE_FILLER, f"Level {level}",
                            (left + inset, top + inset, SIZE[0] - 2 * inset, SIZE[1] - 2 * inset), outer)
        if level % 3 == 1:
            for decoy in (1, 2):
                Element(bus, f"/decoy{level}_{decoy}", ROLE_FILLER, f"Decoy {level}.{decoy}",
                        (left + inset + 6 * decoy, top + inset, 4, 4), outer)
    button_rect = (left + 150, top + 130, 100, 40)
    Element(bus, "/button", ROLE_PUSH_BUTTON, "Slow button", button_rect, container)
    registry = bus.get_object("org.a11y.atspi.Registry", ROOT)
    registry.Embed(application.ref(), dbus_interface="org.a11y.atspi.Socket")

    print(json.dumps({"toolkit": "slow", "pid": os.getpid(), "xid": window.id, "title": TITLE,
                      "controls": {"button": list(button_rect)}}), flush=True)
    loop = GLib.MainLoop()

    def command(channel, condition):
        line = sys.stdin.readline()
        if not line or line.strip() == "quit":
            loop.quit()
            return False
        return True

    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, command)
    loop.run()
    window.destroy()
    screen.sync()


if __name__ == "__main__":
    main()
