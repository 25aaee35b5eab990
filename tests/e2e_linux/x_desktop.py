"""The native end-to-end run's own view of the X desktop, independent of the program under test.

It reads the window tree and the window manager's properties through python3-xlib, owns the processes the run
starts (and ends them all), and reads and sets the clipboard through xclip, byte for byte.
"""

import os
import signal
import subprocess
import time
from dataclasses import dataclass

from Xlib import X, display, error
from Xlib.ext import res, shape

# The errors a window that vanished between two requests gives.
GONE = (error.BadWindow, error.BadDrawable, error.BadMatch)


@dataclass(frozen=True)
class TopWindow:
    """A child of the root window, as the X server sees it."""

    id: int
    mapped: bool
    override_redirect: bool
    x: int
    y: int
    width: int
    height: int
    border: int


class XView:
    def __init__(self):
        self.display = display.Display()
        self.root = self.display.screen().root

    def close(self):
        self.display.close()

    def atom(self, name):
        return self.display.intern_atom(name)

    def window(self, window_id):
        return self.display.create_resource_object("window", window_id)

    def property(self, window_id, name, kind=X.AnyPropertyType):
        """The property's value (bytes for 8-bit formats, a list of numbers otherwise), or None."""
        try:
            reply = self.window(window_id).get_full_property(self.atom(name), kind)
        except GONE:
            return None
        if reply is None:
            return None
        return bytes(reply.value) if reply.format == 8 else list(reply.value)

    def exists(self, window_id):
        try:
            self.window(window_id).get_attributes()
            return True
        except GONE:
            return False

    def parent(self, window_id):
        try:
            return self.window(window_id).query_tree().parent.id
        except GONE:
            return None

    def rect(self, window_id):
        """The outer rectangle in root coordinates: left, top, right, bottom (right and bottom outside)."""
        window = self.window(window_id)
        origin = self.root.translate_coords(window, 0, 0)
        size = window.get_geometry()
        return origin.x, origin.y, origin.x + size.width, origin.y + size.height

    def top_ancestor(self, window_id):
        """The child of the root that holds the window: a window manager's frame, or the window itself."""
        while True:
            parent = self.parent(window_id)
            if parent in (None, self.root.id):
                return window_id
            window_id = parent

    def top_windows(self):
        """The root's children, bottom to top."""
        found = []
        for child in self.root.query_tree().children:
            try:
                attributes = child.get_attributes()
                geometry = child.get_geometry()
            except GONE:
                continue
            found.append(TopWindow(child.id, attributes.map_state != X.IsUnmapped, bool(attributes.override_redirect),
                                   geometry.x, geometry.y, geometry.width, geometry.height, geometry.border_width))
        return found

    def owner_pid(self, window_id):
        """The process id of the client that created the window, as the server knows it (X-Resource)."""
        reply = self.display.res_query_client_ids([{"client": window_id, "mask": res.LocalClientPIDMask}])
        pids = [value for found in reply.ids for value in found.value]
        return pids[0] if pids else None

    def input_shape(self, window_id):
        """The rectangles of the window's input shape: where it takes the pointer."""
        reply = self.window(window_id).shape_get_rectangles(shape.SK.Input)
        return [(r.x, r.y, r.width, r.height) for r in reply.rectangles]

    def window_at_pointer(self):
        """The deepest mapped window under the pointer that takes pointer input, as the server finds it."""
        window, found = self.root, self.root.id
        while True:
            child = window.query_pointer().child
            if not child:  # X.NONE
                return found
            window, found = child, child.id

    def input_focus(self):
        focus = self.display.get_input_focus().focus
        return focus if isinstance(focus, int) else focus.id

    def root_windows_property(self, name):
        value = self.property(self.root.id, name)
        return value or []

    def client_list(self):
        return self.root_windows_property("_NET_CLIENT_LIST")

    def active_window(self):
        value = self.root_windows_property("_NET_ACTIVE_WINDOW")
        return value[0] if value else 0

    def net_wm_state(self, window_id):
        return [self.display.get_atom_name(atom) for atom in (self.property(window_id, "_NET_WM_STATE") or [])]

    def window_manager(self):
        """The EWMH name of the running window manager, or None."""
        check = self.root_windows_property("_NET_SUPPORTING_WM_CHECK")
        if not check:
            return None
        name = self.property(check[0], "_NET_WM_NAME")
        return name.decode("utf-8", "replace") if name is not None else None


class Processes:
    """The programs this run started; stop_all ends whichever are still running."""

    def __init__(self, work_dir):
        self.work_dir = work_dir
        self.started = []

    def start(self, name, argv, stdin=subprocess.DEVNULL):
        log = open(os.path.join(self.work_dir, f"{name}.log"), "ab")
        process = subprocess.Popen(argv, stdin=stdin, stdout=log, stderr=log)
        log.close()
        self.started.append(process)
        return process

    @staticmethod
    def stop(process, grace=3.0):
        if process.poll() is not None:
            return
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)

    def stop_all(self):
        for process in reversed(self.started):
            self.stop(process)
        self.started = [process for process in self.started if process.poll() is None]


class Clipboard:
    """The CLIPBOARD selection through xclip, which hands over the exact bytes in both directions."""

    TARGET = "UTF8_STRING"

    def __init__(self, processes):
        self.processes = processes

    def read(self):
        """The clipboard's text as bytes, or None when no program offers it."""
        try:
            done = subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", self.TARGET], capture_output=True,
                                  timeout=5)
        except subprocess.TimeoutExpired:
            return None
        return done.stdout if done.returncode == 0 else None

    def put(self, data, timeout=3.0):
        """Makes a foreground xclip own the clipboard with data; it ends when another program takes it over."""
        process = self.processes.start("xclip", ["xclip", "-selection", "clipboard", "-i", "-t", self.TARGET, "-quiet"],
                                       stdin=subprocess.PIPE)
        process.stdin.write(data)
        process.stdin.close()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.read() == data:
                return True
            time.sleep(0.05)
        return False
