#!/usr/bin/python3
"""The end-to-end proof of the native Linux Hovermark on a virtual X display.

It drives the real build/linux/hovermark beside the fixture application (fixture_app.py) with the real pointer
and keyboard (xdotool), and reads back what a user gets: the clipboard's exact bytes (xclip), the pixels on the
screen (root screenshots) and the X window tree and window-manager state (its own python3-xlib connection).
The first pass runs under a real reparenting window manager (openbox), the second without any.

scripts/e2e_linux.sh starts the virtual display and builds the program, then runs this file.
"""

import argparse
import json
import os
import select
import signal
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import fixture_app  # noqa: E402
import run_e2e as shared  # noqa: E402  (the Wine run's report, screenshots, pixel rules and xdotool helpers)
from Xlib import X  # noqa: E402
from x_desktop import GONE, Clipboard, Processes, XView  # noqa: E402

SCREEN_SIZE = shared.SCREEN_SIZE
HOVERMARK_TITLE = shared.HOVERMARK_TITLE
HELP_TITLE = shared.HELP_TITLE
TICK = shared.TICK
WINDOW_MANAGER = "Openbox"
# How long a started program may take to show its windows.
START_TIMEOUT = 20.0

# The list rows the fixture's windows give, cleaned as Hovermark cleans them: class "instance class", names
# in UTF-8 with the spaces at both ends trimmed and NULs turned into spaces; the panel has no WM_CLASS.
EXPECTED_ROWS = {
    "button": ("fixture-button FixtureButton", "Press me"),
    "panel": ("", "Panneau\tintérieur"),
    "dialog": ("fixture-dialog HovermarkFixture", "Grüße — Привет\t"),
    "main": ("fixture-main HovermarkFixture", "Fixture Main"),
    "lone": ("fixture-lone HovermarkFixture", "Lone  top-level window"),
}
BUTTON_CHAIN = ("button", "panel", "dialog", "main")
# The pixel rules shared with the Wine run compare the pixels around the button with this colour.
assert fixture_app.PANEL_COLOUR == shared.FIXTURE_DIALOG_COLOUR
ABOVE = "_NET_WM_STATE_ABOVE"
# The list's first two columns: 2550 and 1000 twips at 15 twips a pixel.
CLASS_COLUMN_WIDTH = 170
HWND_COLUMN_WIDTH = 67
# The hint Hovermark shows below the list's rows is grey text of this value on each channel; the black rows'
# text has its strokes' cores below DARK.
HINT_GREY = 128
HINT_CORE = 24
DARK = 100
# The list's horizontal scroll bar, at its bottom, with its frame.
SCROLL_BAR_HEIGHT = 24
# Ctrl+L's windows, below Hovermark and right of the fixture's lone window: one class with two titles, one of
# them twice, and a title full of what a shell or a regular expression takes for syntax, with a NUL in it
# (titled_windows.py);
# and xcalc at the right, whose top-level holds the button windows under the pointer.
TITLED_WINDOWS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "titled_windows.py")
TWIN_CLASS = ("hovermark-twin", "HovermarkTwin")
# xdotool compares a title piece by piece between its NULs, and an argument cannot hold one: the command's
# pattern is the title up to its first NUL.
HOSTILE_TITLE = "q'\"\\\t\nx.*[]()+?^$|{} \U0001F600 end\0after a NUL"
LOCATOR_WINDOWS = {
    "twin one": (TWIN_CLASS, "Twin one", (470, 700, 240, 120), (0xC8, 0x6E, 0x2D)),
    "twin two": (TWIN_CLASS, "Twin two", (740, 700, 240, 120), (0x8E, 0x44, 0xAD)),
    "twin two again": (TWIN_CLASS, "Twin two", (1010, 700, 240, 120), (0x16, 0xA0, 0x85)),
    "hostile": (("hovermark-hostile", "HovermarkHostile"), HOSTILE_TITLE, (470, 860, 240, 120), (0x7F, 0x8C, 0x8D)),
}
XCALC_PLACE = (1030, 40)
# The check of a locator takes at most a second; the grey line follows it.
LOCATOR_TIMEOUT = 5.0


def expected_bars(rect, thickness):
    """The four bars' (x, y, width, height) around rect: the outermost `thickness` pixels inside it."""
    left, top, right, bottom = rect
    inner_bottom, inner_right = max(bottom - thickness, top), max(right - thickness, left)
    return sorted([(left, top, inner_right - left, thickness),
                   (left, inner_bottom, inner_right - left + thickness, thickness),
                   (left, top, thickness, inner_bottom - top),
                   (inner_right, top, thickness, inner_bottom - top)])


def frame_problems(shot, rect, thickness, baseline):
    """Why the frame is not exactly the red and golden ring on the button's outermost pixels, with the pixels just
    inside and just outside it as they are without a frame; empty when it is."""
    problems = shared.frame_problems(shot, rect, thickness, baseline)
    outside = list(shared.outline_pixels(shared.inset(rect, -1)))
    changed = [p for p in outside if shot.pixel(*p) != baseline.pixel(*p)]
    if changed:
        problems.append(f"pixels just outside differ from the shot without a frame: "
                        f"{shared.describe_pixels(shot, changed)}")
    return problems


def ring_problems(shot, rect, thickness):
    """Why rect's outermost `thickness` pixels are not all the frame's red and gold; empty when they are."""
    ring = list(shared.ring_pixels(rect, thickness))
    off_colour = [p for p in ring if shot.pixel(*p) not in shared.FRAME_COLOURS]
    return [f"ring pixels neither red nor golden: {shared.describe_pixels(shot, off_colour)}"] if off_colour else []


def tint_of(pixel):
    """"red" or "dark red" for a pixel of text in that colour, blended with the list's white background by
    grey-scale anti-aliasing; None for any other pixel (black text blends to greys)."""
    red, green, blue = pixel
    if abs(green - blue) > 2:
        return None
    if red >= 250 and green <= 200:
        return "red"
    if red < 250 and 8 <= red - green <= 70:
        return "dark red"
    return None


def list_colour_places(shot, list_rect):
    """Where the list shows text in the Destroyed! row's two colours: {name: [(x, y), ...]}, and how many of
    those pixels have the colour exactly (the strokes' cores)."""
    left, top, right, bottom = list_rect
    places = {name: [] for name in shared.DESTROYED_COLOURS}
    exact = {name: 0 for name in shared.DESTROYED_COLOURS}
    for y in range(top, bottom):
        for x in range(left, right):
            pixel = shot.pixel(x, y)
            tint = tint_of(pixel)
            if tint is not None:
                places[tint].append((x, y))
                exact[tint] += pixel == shared.DESTROYED_COLOURS[tint]
    return places, exact


def destroyed_row_problems(places, exact, list_left):
    """Why the tinted pixels do not form the Destroyed! row: red in the first column, dark red in the third, on
    one line, each with some pixels in the exact colour; empty when they do."""
    counts = {name: len(found) for name, found in places.items()}
    # A word of text has far more than 50 tinted pixels.
    if min(counts.values()) < 50 or min(exact.values()) < 3:
        return [f"too few pixels of a colour: {counts} tinted, {exact} exactly"]
    problems = []
    red, dark_red = places["red"], places["dark red"]
    if max(x for x, _ in red) >= list_left + CLASS_COLUMN_WIDTH:
        problems.append(f"red beyond the \"Class name\" column: up to x={max(x for x, _ in red)}")
    if min(x for x, _ in dark_red) < list_left + CLASS_COLUMN_WIDTH + HWND_COLUMN_WIDTH:
        problems.append(f"dark red left of the \"Text\" column: from x={min(x for x, _ in dark_red)}")
    red_rows = (min(y for _, y in red), max(y for _, y in red))
    dark_rows = (min(y for _, y in dark_red), max(y for _, y in dark_red))
    if red_rows[0] > dark_rows[1] or dark_rows[0] > red_rows[1]:
        problems.append(f"red on rows {red_rows}, dark red on rows {dark_rows}: not one line")
    return problems


def hint_problems(shot, list_rect, shown):
    """Why the list does (shown) or does not show grey hint text below its rows: grey pixels (equal channels,
    from HINT_GREY to near white, many of them within HINT_CORE of HINT_GREY, the strokes' cores) between the
    last row's black text and the horizontal scroll bar. Empty when as wanted."""
    left, top, right, bottom = list_rect
    bottom -= SCROLL_BAR_HEIGHT
    dark_rows = [y for y in range(top, bottom) if any(max(shot.pixel(x, y)) < DARK for x in range(left, right))]
    if not dark_rows:
        return ["no black text in the list: no rows"]
    below = max(dark_rows) + 2
    grey = [shot.pixel(x, y)[0] for y in range(below, bottom) for x in range(left + 2, right - 2)
            if len(set(shot.pixel(x, y))) == 1 and HINT_GREY <= shot.pixel(x, y)[0] < 240]
    cores = sum(value < HINT_GREY + HINT_CORE for value in grey)
    if shown and (len(grey) < 200 or cores < 50):
        return [f"between y={below} and y={bottom} only {len(grey)} grey pixels, {cores} of them strokes' cores"]
    if not shown and grey:
        return [f"{len(grey)} grey pixels between y={below} and y={bottom}"]
    return []


class Fixture(shared.Fixture):
    """fixture_app.py, run as a Python program; reading its info file and sending it commands work as for the
    Wine run's fixture."""

    # Not the Wine fixture's constructor: that one starts a Windows program.
    def __init__(self, processes, work_dir):
        self.info_path = os.path.join(work_dir, "fixture-info.txt")
        self.command_path = os.path.join(work_dir, "fixture-command.txt")
        for path in (self.info_path, self.command_path):
            if os.path.exists(path):
                os.remove(path)
        self.process = processes.start("fixture", [sys.executable, fixture_app.__file__, self.info_path,
                                                   self.command_path])
        self.info = {}

    def id(self, name):
        return int(self.info[f"{name}_id"])

    def centre(self, name):
        left, top, right, bottom = self.rect(name)
        return (left + right) // 2, (top + bottom) // 2

    def row(self, name):
        class_name, text = EXPECTED_ROWS[name]
        return f"{class_name}\t{self.id(name)}\t{text}\r\n"

    def rows(self, *names):
        return "".join(self.row(name) for name in names)


class Pass:
    """One run of the checks on the display, with or without the window manager."""

    def __init__(self, run, window_manager):
        self.run = run
        self.report = run.report
        self.options = run.options
        self.processes = run.processes
        self.x = run.x
        self.clipboard = run.clipboard
        self.window_manager = window_manager
        self.openbox = None
        self.fixture = None
        self.baseline = None
        self.windows_before = set()
        self.hovermark = None
        self.hovermark_window = None
        self.seen_bars = set()
        self.focus_samples = []
        self.hovermark_log_shown = False

    # --- running groups ---

    def group(self, title, body, needs_hovermark=True):
        label = f"{'openbox' if self.window_manager else 'no window manager'}: {title}"
        self.report.group = label
        print(f"== {label}", flush=True)
        if needs_hovermark and (self.hovermark is None or self.hovermark.poll() is not None):
            state = "never started" if self.hovermark is None else f"ended with exit code {self.hovermark.returncode}"
            self.report.check(False, "not run: Hovermark is not running", "running", state)
            self.show_hovermark_log()
            return
        try:
            body()
        except shared.CheckFailed as failure:
            print(f"  (rest of the group left out after: {failure})", flush=True)
        except Exception:  # a broken step is a failed group, not a crashed run
            self.report.check(False, "the group ran into an error", seen=traceback.format_exc().strip())

    def show_hovermark_log(self):
        path = os.path.join(self.run.work_dir, "hovermark.log")
        if self.hovermark_log_shown or not os.path.exists(path):
            return
        self.hovermark_log_shown = True
        with open(path, encoding="utf-8", errors="replace") as log:
            tail = log.read().splitlines()[-15:]
        print("       hovermark.log ends with:\n" + "\n".join(f"         {line}" for line in tail), flush=True)

    # --- the desktop ---

    def focus(self, window):
        # A window manager decides about focus itself: ask it through _NET_ACTIVE_WINDOW.
        verb = "windowactivate" if self.window_manager else "windowfocus"
        shared.xdotool(verb, "--sync", str(window))
        self.sample_focus()

    def sample_focus(self):
        # Without a window manager _NET_ACTIVE_WINDOW is whatever the last one left on the root.
        active = self.x.active_window() if self.window_manager else 0
        self.focus_samples.append((self.x.input_focus(), active))

    def new_mapped_top_windows(self):
        """What has been mapped on the root since Hovermark started: its windows and a window manager's frames."""
        return [w for w in self.x.top_windows() if w.mapped and w.id not in self.windows_before]

    def bars(self):
        """Hovermark's mapped override-redirect windows: its frame's bars."""
        found = [w for w in self.x.top_windows() if w.mapped and w.override_redirect
                 and self.x.owner_pid(w.id) == self.hovermark.pid]
        self.seen_bars.update(w.id for w in found)
        # Whenever the bars are looked at, so is the focus: check_bar_windows proves no bar ever had it.
        self.sample_focus()
        return found

    def frame_rect(self, window_id):
        """The window with its window manager's frame."""
        return self.x.rect(self.x.top_ancestor(window_id))

    def hovermark_rect(self):
        return self.x.rect(self.hovermark_window)

    def frame_on(self, name, thickness, timeout=3.0):
        rect = self.fixture.rect(name)

        # Only around the button does the shot without a frame stand for the surroundings: elsewhere a window
        # manager's title bars change colour with the focus.
        def problems_of(shot):
            if name == "button":
                problems = frame_problems(shot, rect, thickness, self.baseline)
            else:
                problems = ring_problems(shot, rect, thickness)
            placed = sorted((w.x, w.y, w.width, w.height) for w in self.bars())
            if placed != expected_bars(rect, thickness):
                problems.append(f"bar windows at {placed}, expected {expected_bars(rect, thickness)}")
            return problems

        return shared.Run.shot_until(problems_of, timeout)

    def check_frame(self, thickness, what, name="button"):
        shot, problems = self.frame_on(name, thickness)
        self.report.check(not problems, what, f"a {thickness}-pixel red/golden ring on the {name}'s edge, "
                          "four bar windows exactly there", "; ".join(problems), shot if problems else None)
        return shot

    def frame_gone(self, rect, baseline=None, bars_hidden=True):
        """Waits until no frame colour is near rect and, with a baseline, the pixels there are as in it; with
        bars_hidden, until no bar is mapped either."""

        def problems_of(shot):
            if baseline is not None:
                problems = shared.no_frame_problems(shot, rect, baseline)
            else:
                around = shared.ring_pixels(shared.inset(rect, -1), 6)
                framed = [p for p in around if shot.pixel(*p) in shared.FRAME_COLOURS]
                problems = [f"frame colours: {shared.describe_pixels(shot, framed)}"] if framed else []
            bars = self.bars() if bars_hidden else []
            if bars:
                problems.append(f"{len(bars)} bar window(s) still mapped")
            return problems

        return shared.Run.shot_until(problems_of)

    # Sets a sentinel, presses Ctrl+C in Hovermark and reads the clipboard until it holds `expected`.
    def copy_until(self, expected, timeout=5.0):
        seen = None

        def attempt():
            nonlocal seen
            if not self.clipboard.put(shared.SENTINEL.encode()):
                seen = b"(xclip could not set the sentinel)"
                return False
            self.focus(self.hovermark_window)
            shared.key("ctrl+c")
            seen = shared.poll(self.clipboard.read, lambda text: text not in (None, shared.SENTINEL.encode()), 1.0)
            return seen == expected.encode()

        shared.poll(attempt, timeout=timeout, interval=TICK)
        return seen

    def check_clipboard(self, expected, what, timeout=5.0):
        seen = self.copy_until(expected, timeout)
        return self.report.check(seen == expected.encode(), what, shared.show_bytes(expected.encode()),
                                 shared.show_bytes(seen))

    def press_and_read(self, keys, timeout=LOCATOR_TIMEOUT):
        """Sets a sentinel, presses keys in Hovermark and returns the clipboard's bytes once they are something
        else; None when they never are."""
        sentinel = shared.SENTINEL.encode()
        if not self.clipboard.put(sentinel):
            return None
        self.focus(self.hovermark_window)
        shared.key(keys)
        seen = shared.poll(self.clipboard.read, lambda text: text not in (None, sentinel), timeout)
        return None if seen in (None, sentinel) else seen

    def list_rect(self):
        left, top, right, _ = self.hovermark_rect()
        return left, top, right, top + shared.LIST_HEIGHT

    def windows_of_class(self, class_name):
        """Every viewable window below the root whose class hint's class is class_name."""
        found, pending = [], [self.x.root]
        while pending:
            try:
                children = pending.pop().query_tree().children
            except GONE:
                continue
            for child in children:
                hint = self.x.property(child.id, "WM_CLASS")
                try:
                    viewable = child.get_attributes().map_state == X.IsViewable
                except GONE:
                    continue
                if viewable and hint is not None and hint.split(b"\0")[1:2] == [class_name.encode()]:
                    found.append(child.id)
                pending.append(child)
        return found

    def save_for_docs(self, shot, name, rects):
        if self.options.save_screenshots and self.window_manager:
            shared.save_screenshot_around(shot, self.options.save_screenshots, name, rects)

    # --- groups ---

    def desktop_and_fixture(self):
        report = self.report
        shot = shared.Screenshot.grab()
        report.check((shot.width, shot.height) == SCREEN_SIZE, "the virtual screen's size", SCREEN_SIZE,
                     (shot.width, shot.height))
        if self.window_manager:
            self.openbox = self.processes.start("openbox", ["openbox", "--sm-disable"])
            manager = shared.poll(self.x.window_manager, lambda name: name == WINDOW_MANAGER, START_TIMEOUT)
            report.require(manager == WINDOW_MANAGER, "openbox manages the display", WINDOW_MANAGER, manager)
        else:
            manager = self.x.window_manager()
            report.require(manager is None, "no window manager runs", None, manager)

        self.fixture = Fixture(self.processes, self.run.work_dir)
        fixture = self.fixture
        info = shared.poll(lambda: fixture.read_info().get("button_rect"), timeout=START_TIMEOUT)
        report.require(info, "the fixture writes its windows' ids and places", fixture.info_path,
                       fixture.info or "no info file")
        names = ("main", "dialog", "panel", "button", "lone")

        # The fixture's own report of its places against this run's view of the X server.
        def places():
            fixture.read_info()
            return {name: (fixture.rect(name), self.x.rect(fixture.id(name))) for name in names}

        seen = shared.poll(places, lambda found: all(ours == server for ours, server in found.values()), 5.0)
        report.check(all(ours == server for ours, server in seen.values()),
                     "the fixture's windows are where it says they are", "info file == X server", seen)
        report.check(self.x.parent(fixture.id("button")) == fixture.id("panel")
                     and self.x.parent(fixture.id("panel")) == fixture.id("dialog"),
                     "the button is a child of the panel, the panel a child of the dialog")
        transient = self.x.property(fixture.id("dialog"), "WM_TRANSIENT_FOR")
        report.check(transient == [fixture.id("main")], "the dialog is transient for the main window",
                     [fixture.id("main")], transient)
        top_levels = ("main", "dialog", "lone")
        if self.window_manager:
            def managed():
                return {name: (self.x.parent(fixture.id(name)) != self.x.root.id,
                               self.x.property(fixture.id(name), "WM_STATE") is not None) for name in top_levels}

            state = shared.poll(managed, lambda found: all(all(flags) for flags in found.values()), 5.0)
            report.check(all(all(flags) for flags in state.values()),
                         "openbox has framed the top-levels and given them WM_STATE",
                         "(reparented, WM_STATE) for each", state)
        else:
            parents = {name: self.x.parent(fixture.id(name)) == self.x.root.id for name in top_levels}
            report.check(all(parents.values()), "without a window manager the top-levels are the root's children",
                         True, parents)

        face = fixture_app.BUTTON_FACE_COLOUR

        def drawn():
            shot = shared.Screenshot.grab()
            button = fixture.rect("button")
            seen = {"main": shot.pixel(*fixture.centre("main")), "lone": shot.pixel(*fixture.centre("lone")),
                    "dialog": shot.pixel(fixture.rect("dialog")[0] + 5, fixture.rect("dialog")[1] + 5),
                    "panel": shot.pixel(fixture.rect("panel")[0] + 5, fixture.rect("panel")[1] + 5),
                    "button edge": shot.pixel(button[0], button[1]),
                    "button face": shot.pixel(button[0] + 3, button[1] + 3)}
            return shot, seen

        expected = {"main": fixture_app.MAIN_COLOUR, "lone": fixture_app.LONE_COLOUR,
                    "dialog": fixture_app.DIALOG_COLOUR, "panel": fixture_app.PANEL_COLOUR,
                    "button edge": fixture_app.BUTTON_EDGE_COLOUR, "button face": face}
        shot, colours = shared.poll(drawn, lambda result: result[1] == expected, 10)
        report.check(colours == expected, "the fixture's windows show their colours where they are", expected,
                     colours, None if colours == expected else shot)
        outside = [p for p in shared.outline_pixels(shared.inset(fixture.rect("button"), -1))
                   if shot.pixel(*p) != fixture_app.PANEL_COLOUR]
        report.check(not outside, "the panel's colour surrounds the button", fixture_app.PANEL_COLOUR,
                     shared.describe_pixels(shot, outside) if outside else "all panel colour",
                     shot if outside else None)

        target = fixture.centre("button")
        where = shared.move_pointer(*target)
        report.check(where == target, "the pointer moves onto the button", target, where)
        under = self.x.window_at_pointer()
        report.check(under == fixture.id("button"), "the X server finds the button under the pointer",
                     fixture.id("button"), under)
        # The button as it looks without Hovermark: the frame checks compare against it.
        self.baseline = shared.Screenshot.grab()

        text = "tab\there\r\nGrüße — Привет\t\r\n".encode()
        report.check(self.clipboard.put(text), "xclip puts text on the clipboard")
        seen = self.clipboard.read()
        report.check(seen == text, "xclip gives back the exact bytes (CR LF, tabs, UTF-8)", shared.show_bytes(text),
                     shared.show_bytes(seen))

    def start_hovermark(self, frame_on="button"):
        report = self.report
        report.require(self.baseline is not None, "the desktop checks got as far as the shot without a frame")
        report.require(os.path.isfile(self.run.hovermark_exe), "build/linux/hovermark is built",
                       self.run.hovermark_exe, "missing")
        # The pointer may still rest where the last Hovermark's Exit button was.
        shared.move_pointer(*self.fixture.centre(frame_on))
        self.windows_before = {w.id for w in self.x.top_windows()}
        self.hovermark_log_shown = False
        self.hovermark = self.processes.start("hovermark", [self.run.hovermark_exe])
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(HOVERMARK_TITLE)), timeout=START_TIMEOUT)
        if not windows:
            self.show_hovermark_log()
        report.require(len(windows) == 1, f"one visible window titled {HOVERMARK_TITLE!r}", 1, len(windows))
        self.hovermark_window = windows[0]
        left, top, right, bottom = self.hovermark_rect()
        size = (right - left, bottom - top)
        report.check(size == shared.HOVERMARK_CLIENT_SIZE, "the main window's client size in pixels",
                     shared.HOVERMARK_CLIENT_SIZE, size)
        # Centred as a whole window; a window manager's title bar shifts the client down a little.
        centre = ((left + right) / 2, (top + bottom) / 2)
        report.check(abs(centre[0] - SCREEN_SIZE[0] / 2) <= 4 and abs(centre[1] - SCREEN_SIZE[1] / 2) <= 20,
                     "the main window is centred on the screen", "client centre near (640, 512)", centre)
        if self.window_manager:
            listed = shared.poll(self.x.client_list, lambda ids: self.hovermark_window in ids, 3.0)
            report.check(self.hovermark_window in listed, "openbox manages the main window (_NET_CLIENT_LIST)")
        self.check_frame(2, f"the 2-pixel frame lies on the {frame_on}'s outermost pixels", frame_on)
        self.check_bar_windows("the bars")

    def check_bar_windows(self, what):
        """The bars are the X windows the frame's design asks for: never managed, never focused, click-through."""
        report = self.report
        bars = shared.poll(self.bars, lambda found: len(found) == 4, 3.0)
        report.check(len(bars) == 4, f"{what}: four mapped override-redirect windows", 4, len(bars))
        report.check(all(w.border == 0 for w in bars), f"{what}: no X border", 0, [w.border for w in bars])
        shapes = {w.id: self.x.input_shape(w.id) for w in bars}
        report.check(all(not rects for rects in shapes.values()), f"{what}: an empty input shape each",
                     "no input rectangles", shapes)
        if self.window_manager:
            managed = [w.id for w in bars if w.id in self.x.client_list()]
            report.check(not managed, f"{what}: none is in openbox's _NET_CLIENT_LIST", [], managed)
        self.sample_focus()
        focused = [sample for sample in self.focus_samples if set(sample) & self.seen_bars]
        report.check(not focused, f"{what}: no bar has ever had the focus ({len(self.focus_samples)} looks)",
                     "input focus and active window never a bar", focused)

    def copy_button_chain(self):
        report = self.report
        shared.move_pointer(*self.fixture.centre("button"))
        self.check_clipboard(self.fixture.rows(*BUTTON_CHAIN),
                             "Ctrl+C copies the button, its panel, its dialog and the dialog's owner")
        # The frame's top-left pixel: the top and the left bar cover it, and both let the pointer through.
        left, top, _, _ = self.fixture.rect("button")
        shared.move_pointer(left, top)
        under = self.x.window_at_pointer()
        report.check(under == self.fixture.id("button"), "on a bar's pixel the X server finds the button beneath",
                     self.fixture.id("button"), under)
        time.sleep(3 * TICK)
        self.check_clipboard(self.fixture.rows(*BUTTON_CHAIN), "on a bar's pixel the list stays on the button")
        self.check_frame(2, "on a bar's pixel the frame stays on the button")
        shared.move_pointer(*self.fixture.centre("button"))

    def frame_thickness(self):
        shot = self.check_frame(2, "the default 2-pixel frame lies on the button's outermost pixels")
        self.save_for_docs(shot, "linux-frame.png", [self.frame_rect(self.hovermark_window),
                                                     self.frame_rect(self.fixture.id("dialog")),
                                                     self.frame_rect(self.fixture.id("main"))])
        self.focus(self.hovermark_window)
        # The keypad's "+" and "-" type the same characters as the main keyboard's; 1 and 4 are the bounds.
        for name, thickness in (("plus", 3), ("KP_Add", 4), ("plus", 4), ("KP_Subtract", 3), ("minus", 2),
                                ("minus", 1), ("minus", 1), ("plus", 2)):
            shared.key(name)
            self.check_frame(thickness, f"after {name!r} the frame is {thickness} pixel(s) thick")

    def frame_toggle(self):
        report = self.report
        self.focus(self.hovermark_window)
        shared.key("F9")
        shot, problems = self.frame_gone(self.fixture.rect("button"), self.baseline)
        report.check(not problems, "F9 hides the frame and unmaps the bars",
                     "the button as it is without Hovermark, no bar mapped", "; ".join(problems),
                     shot if problems else None)
        shared.key("F9")
        self.check_frame(2, "F9 again shows the 2-pixel frame")
        self.check_bar_windows("the bars shown again")
        # Showing the bars hands the focus back to the main window.
        focus = shared.poll(self.x.input_focus, lambda found: found == self.hovermark_window, 2.0)
        report.check(focus == self.hovermark_window, "after F9 the main window has the keyboard focus",
                     self.hovermark_window, focus)

    def on_top(self):
        report = self.report
        state = shared.poll(lambda: self.x.net_wm_state(self.hovermark_window), lambda found: ABOVE in found, 3.0)
        report.check(ABOVE in state, f"from the start the main window has {ABOVE}", ABOVE, state)
        self.focus(self.hovermark_window)
        for above in (False, True, False, True):
            shared.key("F8")
            state = shared.poll(lambda: self.x.net_wm_state(self.hovermark_window),
                                lambda found, wanted=above: (ABOVE in found) == wanted, 3.0)
            report.check((ABOVE in state) == above, f"F8 {'sets' if above else 'clears'} {ABOVE}",
                         f"{ABOVE} {'in' if above else 'not in'} _NET_WM_STATE", state)
        self.check_frame(2, "with the main window on top the frame is still on the button")
        self.check_bar_windows("the bars after F8")

    def pause(self):
        report = self.report
        shared.move_pointer(*self.fixture.centre("button"))
        self.check_clipboard(self.fixture.rows(*BUTTON_CHAIN), "running: the list shows the button")
        self.focus(self.hovermark_window)
        shared.key("p")
        # A tick between the move and the key would count: let the key land first.
        time.sleep(3 * TICK)
        lone = self.fixture.centre("lone")
        where = shared.move_pointer(*lone)
        report.check(where == lone, "the pointer moves onto the lone window", lone, where)
        time.sleep(5 * TICK)
        self.check_clipboard(self.fixture.rows(*BUTTON_CHAIN), "paused: the list still shows the button", timeout=1.0)
        self.check_frame(2, "paused: the frame stays on the button")
        self.focus(self.hovermark_window)
        shared.key("Pause")
        self.check_clipboard(self.fixture.row("lone"),
                             "resumed with the Pause key: the list shows the lone window alone")
        shot, problems = self.frame_gone(self.fixture.rect("button"), self.baseline, bars_hidden=False)
        report.check(not problems, "resumed: the frame has left the button", "the button as it is without Hovermark",
                     "; ".join(problems), shot if problems else None)
        self.check_frame(2, "resumed: the frame lies on the lone window", "lone")

    def help_box(self):
        report = self.report
        shared.move_pointer(*self.fixture.centre("button"))
        self.check_clipboard(self.fixture.rows(*BUTTON_CHAIN), "before the help box the list shows the button")
        self.focus(self.hovermark_window)
        shared.key("F1")
        boxes = shared.poll(lambda: shared.visible_windows(shared.exact(HELP_TITLE)), timeout=5)
        report.require(len(boxes) == 1, f"F1 shows one window titled {HELP_TITLE!r}", 1, len(boxes))
        if self.window_manager:
            transient = self.x.property(boxes[0], "WM_TRANSIENT_FOR")
            report.check(transient == [self.hovermark_window], "the help box belongs to the main window",
                         [self.hovermark_window], transient)
        shot = shared.Screenshot.grab()
        self.save_for_docs(shot, "linux-help.png", [self.frame_rect(self.hovermark_window), self.frame_rect(boxes[0])])
        self.focus(boxes[0])
        shared.key("Return")
        left = shared.poll(lambda: shared.visible_windows(shared.exact(HELP_TITLE)), lambda found: not found, 5)
        report.check(not left, "Enter closes the help box", "no visible help box", f"{len(left)} visible")
        self.check_clipboard(self.fixture.rows(*BUTTON_CHAIN), "after the help box Ctrl+C still copies the button")

    def locators(self):
        """Ctrl+L with the pointer on xcalc, on each of two windows of one class with different titles, on two
        with the same class and title, and on a window whose title is full of shell and regular expression
        syntax: the clipboard holds an xdotool command that bash runs and that prints exactly the id Hovermark
        lists for the top-level window; the grey line shows below the rows, and goes once the list changes."""
        report = self.report
        plans = [{"class": list(wm_class), "title": title, "place": list(place), "colour": list(colour)}
                 for wm_class, title, place, colour in LOCATOR_WINDOWS.values()]
        titled = subprocess.Popen([sys.executable, TITLED_WINDOWS, json.dumps(plans)], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True,
                                  stderr=open(os.path.join(self.run.work_dir, "titled-windows.log"), "ab"))
        self.processes.started.append(titled)
        xcalc = self.processes.start("xcalc", ["xcalc", "-geometry", "+{}+{}".format(*XCALC_PLACE)])
        try:
            line = titled.stdout.readline() if select.select([titled.stdout], [], [], START_TIMEOUT)[0] else ""
            report.require(line, "titled_windows.py shows its windows", "a line with their ids", line or "nothing")
            ids = dict(zip(LOCATOR_WINDOWS, json.loads(line)["ids"]))
            calculators = shared.poll(lambda: self.windows_of_class("XCalc"), lambda found: len(found) == 1,
                                      START_TIMEOUT)
            report.require(len(calculators) == 1, "xcalc shows one top-level window of class XCalc", 1,
                           len(calculators))
            ids = {"xcalc": calculators[0], **ids}
            hostile_name = self.x.property(ids["hostile"], "WM_NAME")
            report.check(hostile_name == HOSTILE_TITLE.encode(), "the hostile window's WM_NAME is the title asked for",
                         shared.show_bytes(HOSTILE_TITLE.encode()), shared.show_bytes(hostile_name))
            locators = {}
            for name, window_id in ids.items():
                locators[name] = self.locator_of(name, window_id)
            # With a title of its own a window needs no index; one of two alike does, and each its own.
            for name, locator in locators.items():
                if locator is not None:
                    indexed = name in ("twin two", "twin two again")
                    report.check(("sed -n" in locator) == indexed,
                                 f"{name}: the command {'picks its line' if indexed else 'needs no index'}",
                                 "| sed -n 'Np'" if indexed else "no sed", locator)
            if locators["twin two"] is not None and locators["twin two again"] is not None:
                report.check(locators["twin two"] != locators["twin two again"],
                             "the two windows of one class and title get different commands", "two commands",
                             locators["twin two"])
            shared.move_pointer(*self.fixture.centre("lone"))
            self.check_clipboard(self.fixture.row("lone"), "after the last Ctrl+L the list follows the pointer")
            shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, self.list_rect(), False), 5.0)
            report.check(not problems, "the list has changed: the grey line has gone", "no grey text below the rows",
                         "; ".join(problems), shot if problems else None)
        finally:
            titled.stdin.close()
            for process in (titled, xcalc):
                Processes.stop(process)

    def locator_of(self, name, window_id):
        """Ctrl+L with the pointer on that window; the command copied, or None when a check failed."""
        report = self.report
        left, top, right, bottom = self.x.rect(window_id)
        shared.move_pointer((left + right) // 2, (top + bottom) // 2)
        rows = shared.poll(lambda: self.press_and_read("ctrl+c"),
                           lambda seen: seen is not None and f"\t{window_id}\t".encode() in seen, LOCATOR_TIMEOUT)
        if not report.check(rows is not None and f"\t{window_id}\t".encode() in rows,
                            f"{name}: the list shows the top-level window's row", f"a row with id {window_id}",
                            shared.show_bytes(rows)):
            return None
        shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, self.list_rect(), False), 5.0)
        report.check(not problems, f"{name}: before Ctrl+L no grey line shows below the rows",
                     "no grey text below the rows", "; ".join(problems), shot if problems else None)
        copied = self.press_and_read("ctrl+l")
        if not report.check(copied is not None and copied.startswith(b"xdotool search "),
                            f"{name}: Ctrl+L copies an xdotool command", "xdotool search ...",
                            shared.show_bytes(copied)):
            return None
        locator = copied.decode("utf-8")
        print(f"       {name}: {locator!r}", flush=True)
        try:
            ran = subprocess.run(["bash", "-c", locator], capture_output=True, timeout=15)
            printed, code, errors = ran.stdout, ran.returncode, ran.stderr
        except subprocess.TimeoutExpired:
            printed, code, errors = None, None, b"(bash ran longer than 15 s)"
        report.check((printed, code, errors) == (f"{window_id}\n".encode(), 0, b""),
                     f"{name}: bash runs the command and it prints exactly the top-level window's id",
                     (f"{window_id}\n".encode(), 0, b""), (printed, code, errors))
        shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, self.list_rect(), True),
                                               LOCATOR_TIMEOUT)
        report.check(not problems, f"{name}: after Ctrl+L the grey line shows below the rows",
                     "grey text below the rows", "; ".join(problems), shot if problems else None)
        if name == "xcalc" and not problems:
            self.save_for_docs(shot, "linux-locator.png", [self.frame_rect(self.hovermark_window),
                                                           self.frame_rect(window_id)])
        return locator

    def destroyed(self):
        report = self.report
        fixture = self.fixture
        shared.move_pointer(*fixture.centre("button"))
        chain = fixture.rows(*BUTTON_CHAIN)
        report.require(self.copy_until(chain) == chain.encode(), "the list shows the button before the dialog goes")
        self.check_frame(2, "the frame is on the button before the dialog goes")
        left, top, right, _ = self.hovermark_rect()
        list_rect = (left, top, right, top + shared.LIST_HEIGHT)
        places, _ = list_colour_places(shared.Screenshot.grab(), list_rect)
        before = {name: len(found) for name, found in places.items()}
        report.check(not any(before.values()), "no red text in the list before the dialog goes", "none", before)
        self.focus(self.hovermark_window)
        shared.key("p")
        time.sleep(3 * TICK)
        # Paused: the pointer leaves, the list and the frame stay with the button.
        shared.move_pointer(*fixture.centre("lone"))
        time.sleep(3 * TICK)
        button = fixture.rect("button")
        fixture.command("destroy-dialog")
        gone = shared.poll(lambda: fixture.read_info().get("dialog_destroyed"), timeout=5)
        report.require(gone, "the fixture destroys its dialog", "dialog_destroyed=1 in the info file", fixture.info)
        report.check(not self.x.exists(fixture.id("button")), "the button's X window is gone with its dialog")
        expected = chain + shared.DESTROYED_LINES
        self.check_clipboard(expected, "paused: a blank row and the Destroyed! row follow the chain")
        time.sleep(10 * TICK)
        self.check_clipboard(expected, "ten ticks later the rows are not added again", timeout=1.0)
        shot, problems = self.frame_gone(button)
        report.check(not problems, "the frame is hidden once the button is gone", "no frame colour, no bar mapped",
                     "; ".join(problems), shot if problems else None)
        problems = destroyed_row_problems(*list_colour_places(shot, list_rect), left)
        report.check(not problems, "the Destroyed! row shows in red with its explanation in dark red",
                     "red text in the first column, dark red in the third, on one line", "; ".join(problems),
                     shot if problems else None)
        self.save_for_docs(shot, "linux-destroyed.png", [self.frame_rect(self.hovermark_window),
                                                         self.frame_rect(fixture.id("main"))])
        self.focus(self.hovermark_window)
        shared.key("p")
        self.check_clipboard(fixture.row("lone"), "resumed: the list shows the lone window under the pointer")

    def exit_by(self, how):
        report = self.report
        self.focus(self.hovermark_window)
        if how == "the Exit button":
            left, top, _, _ = self.hovermark_rect()
            x, y, width, height = shared.EXIT_BUTTON
            shared.move_pointer(left + x + width // 2, top + y + height // 2)
            shared.xdotool("click", "1")
        else:
            shared.key("alt+F4")
        asked = time.monotonic()
        try:
            code = self.hovermark.wait(timeout=10)
        except subprocess.TimeoutExpired:
            code = None
        report.check(code is not None, f"{how} ends the program within 10 s", "the process ends", "still running")
        print(f"       (it took {time.monotonic() - asked:.1f} s)", flush=True)
        report.check(code in (None, 0), f"after {how} the exit code is 0", 0, code)
        left_behind = shared.poll(self.new_mapped_top_windows, lambda found: not found, 3.0)
        report.check(not left_behind, f"after {how} no window of Hovermark's (or its frame) is left on the root",
                     [], left_behind)
        report.check(not shared.visible_windows(shared.exact(HOVERMARK_TITLE)),
                     f"after {how} no window titled {HOVERMARK_TITLE!r} is visible")

    def stop_desktop(self):
        """Ends this pass's fixture and window manager, so the next pass starts from a bare display."""
        if self.fixture is not None:
            self.fixture.command("quit")
            try:
                code = self.fixture.process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                code = None
            self.report.check(code == 0, "the fixture ends on its quit command", "exit code 0 within 3 s", code)
        for process in (self.hovermark, self.fixture.process if self.fixture else None, self.openbox):
            if process is not None:
                Processes.stop(process)


class Run:
    def __init__(self, options):
        self.options = options
        self.work_dir = options.work_dir
        self.report = shared.Report(self.work_dir)
        self.processes = Processes(self.work_dir)
        self.clipboard = Clipboard(self.processes)
        self.x = XView()
        self.hovermark_exe = os.path.join(options.build_dir, "hovermark")

    def summary(self, started):
        """Prints the run's time, its failures and the closing count; the exit code the run ends with."""
        report = self.report
        print(f"\nthe run took {time.monotonic() - started:.0f} s")
        for failure in report.failed:
            print(f"  FAILED {failure}")
        print(f"{report.passed} passed, {len(report.failed)} failed", flush=True)
        return 1 if report.failed or report.passed == 0 else 0

    def with_window_manager(self):
        run = Pass(self, window_manager=True)
        try:
            run.group("desktop and fixture", run.desktop_and_fixture, needs_hovermark=False)
            run.group("start", run.start_hovermark, needs_hovermark=False)
            run.group("the chain under the pointer", run.copy_button_chain)
            run.group("frame thickness", run.frame_thickness)
            run.group("F9 hides and shows the frame", run.frame_toggle)
            run.group("F8: stay on top", run.on_top)
            run.group("pause and resume", run.pause)
            run.group("help", run.help_box)
            run.group("Ctrl+L: a locator of the window under the pointer", run.locators)
            run.group("a watched window is destroyed while paused", run.destroyed)
            run.group("exit with the Exit button", lambda: run.exit_by("the Exit button"))
            run.group("second run: start", lambda: run.start_hovermark("lone"), needs_hovermark=False)
            run.group("second run: exit with Alt+F4", lambda: run.exit_by("Alt+F4"))
        finally:
            run.stop_desktop()

    def without_window_manager(self):
        run = Pass(self, window_manager=False)
        try:
            run.group("desktop and fixture", run.desktop_and_fixture, needs_hovermark=False)
            run.group("start", run.start_hovermark, needs_hovermark=False)
            run.group("the chain under the pointer", run.copy_button_chain)
            run.group("frame thickness", run.frame_thickness)
            run.group("F9 hides and shows the frame", run.frame_toggle)
            run.group("Ctrl+L: a locator of the window under the pointer", run.locators)
            run.group("exit with the Exit button", lambda: run.exit_by("the Exit button"))
        finally:
            run.stop_desktop()

    # Hovermark beside the fixture under openbox, the pointer on the button and the frame around it.
    def demo(self, path):
        run = Pass(self, window_manager=True)
        try:
            run.group("desktop and fixture", run.desktop_and_fixture, needs_hovermark=False)
            run.group("start", run.start_hovermark, needs_hovermark=False)
            os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
            shared.Screenshot.grab().save_png(path)
        finally:
            run.stop_desktop()
        print(f"\nScreenshot of Hovermark inspecting the fixture's button: {os.path.abspath(path)}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/linux", help="where the hovermark program is")
    parser.add_argument("--work-dir", default="build/e2e-linux-run",
                        help="for the fixture's files, the logs and the screenshots of failures")
    parser.add_argument("--save-screenshots", metavar="DIR", help="save the README's screenshots to DIR (linux-*.png)")
    parser.add_argument("--demo", metavar="PNG", help="no checks: show Hovermark on the fixture and save a screenshot")
    options = parser.parse_args()
    os.makedirs(options.work_dir, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        sys.exit("DISPLAY is not set: scripts/e2e_linux.sh starts the virtual display")
    # A terminating signal ends the run through its cleanup.
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))

    run = Run(options)
    started = time.monotonic()
    try:
        if options.demo:
            run.demo(options.demo)
            return 0 if os.path.isfile(options.demo) else 1
        run.with_window_manager()
        run.without_window_manager()
    finally:
        run.processes.stop_all()
        run.x.close()
    return run.summary(started)


if __name__ == "__main__":
    sys.exit(main())
