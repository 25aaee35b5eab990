#!/usr/bin/python3
"""The end-to-end proof of hovermark.exe under Wine on a virtual X display.

It drives the real program with the real pointer and keyboard (xdotool), reads what the user would get: the
clipboard (through a reader running inside Wine, so the bytes are Windows' own) and the pixels on the screen
(root screenshots, parsed here as PPM), and checks them against the fixture application's known windows. The
locators Ctrl+L copies are evaluated by pywinauto's rules by a resolver of the run's own (locator_resolver.cpp,
sharing no code with Hovermark), which must find exactly the window of the list's first row.

scripts/e2e.sh sets up the display, the Wine prefix and the build, then runs this file. Standard library only.
"""

import argparse
import glob
import os
import re
import struct
import subprocess
import sys
import time
import traceback
import zlib

RED = (0xFF, 0x00, 0x00)
GOLD = (0xFE, 0xCD, 0x0A)
FRAME_COLOURS = (RED, GOLD)

# The fixture's client-area fills (tests/e2e/fixture_app.cpp).
FIXTURE_MAIN_COLOUR = (0x2B, 0x57, 0x9A)
FIXTURE_DIALOG_COLOUR = (0xDD, 0xE6, 0xF0)
FIXTURE_LONE_COLOUR = (0x3C, 0x8D, 0x5A)

SCREEN_SIZE = (1280, 1024)
HOVERMARK_TITLE = "Hovermark 1.1"
HOVERMARK_CLIENT_SIZE = (749, 301)
HELP_TITLE = "Hovermark - Help"
BAR_TITLE = "Border Window"
# The Exit button's client rectangle: 10500, 4080, 615 x 375 twips at 15 twips a pixel.
EXIT_BUTTON = (700, 272, 41, 25)
TICK = 0.1
# The README's screenshots with title bars: a Wine virtual desktop of that name, and the part of it they show.
DOCS_DESKTOP = "hovermark-docs"
DOCS_DESKTOP_AREA = (0, 0, SCREEN_SIZE[0], 720)
SENTINEL = "e2e clipboard sentinel"
DESTROYED_LINES = "\t\t\r\nDestroyed!\t\tThis control or window does not exist any more.\r\n"
# The Destroyed! row's colours: the row's red and the explanation's dark red.
DESTROYED_COLOURS = {"red": (0xFF, 0x00, 0x00), "dark red": (0x40, 0x00, 0x00)}
# The list's height: 4035 twips.
LIST_HEIGHT = 269
# The list's horizontal scroll bar, at its bottom, with its frame; the list's own frame at its sides.
LIST_SCROLL_BAR_HEIGHT = 20
LIST_EDGE = 4
# The line Ctrl+L shows below the list's rows is grey text of this value on each channel; the black rows' text
# has its strokes' cores below DARK.
HINT_GREY = 128
HINT_CORE = 24
DARK = 100
# A check ends within a second; the clipboard and the list have it soon after.
LOCATOR_TIMEOUT = 4.0
# The list's font (Liberation Mono standing in for Courier New) advances this many pixels a character.
LIST_CHARACTER_WIDTH = 7


class CheckFailed(Exception):
    """A check whose failure leaves nothing sensible to do in its group."""


class Report:
    def __init__(self, work_dir):
        self.work_dir = work_dir
        self.passed = 0
        self.failed = []
        self.group = ""
        self.shot_index = 0

    def check(self, condition, what, expected=None, seen=None, shot=None):
        if condition:
            self.passed += 1
            print(f"  PASS {what}", flush=True)
            return True
        lines = [f"  FAIL {what}"]
        if expected is not None:
            lines.append(f"       expected: {expected}")
        if seen is not None:
            lines.append(f"       seen:     {seen}")
        if shot is not None:
            lines.append(f"       screenshot: {self.keep(shot, what)}")
        print("\n".join(lines), flush=True)
        self.failed.append(f"{self.group}: {what}")
        return False

    def require(self, condition, what, expected=None, seen=None, shot=None):
        if not self.check(condition, what, expected, seen, shot):
            raise CheckFailed(what)

    def finish(self, started):
        """Prints the verdict of a run started at `started` (time.monotonic()); its exit code."""
        print(f"\n{self.passed} passed, {len(self.failed)} failed in {time.monotonic() - started:.0f} s")
        for failure in self.failed:
            print(f"  FAILED {failure}")
        return 1 if self.failed or self.passed == 0 else 0

    def keep(self, shot, what):
        self.shot_index += 1
        slug = re.sub(r"[^a-z0-9]+", "-", f"{self.group} {what}".lower()).strip("-")[:70]
        path = os.path.join(self.work_dir, f"fail-{self.shot_index:02d}-{slug}.png")
        shot.save_png(path)
        return path


# --- Screenshots ---------------------------------------------------------------------------------------------


class Screenshot:
    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb

    @staticmethod
    def grab():
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], check=True, capture_output=True, timeout=30).stdout
        return Screenshot.parse_ppm(ppm)

    @staticmethod
    def parse_ppm(data):
        # P6, then width, height and maximum value, each possibly after comments, then one whitespace byte.
        fields = []
        position = 2
        if data[:2] != b"P6":
            raise ValueError("not a binary PPM")
        while len(fields) < 3:
            while data[position : position + 1].isspace():
                position += 1
            if data[position : position + 1] == b"#":
                position = data.index(b"\n", position) + 1
                continue
            start = position
            while data[position : position + 1].isdigit():
                position += 1
            fields.append(int(data[start:position]))
        width, height, maximum = fields
        if maximum != 255:
            raise ValueError(f"PPM with maximum value {maximum}, not 255")
        rgb = data[position + 1 : position + 1 + width * height * 3]
        if len(rgb) != width * height * 3:
            raise ValueError("PPM shorter than its header says")
        return Screenshot(width, height, rgb)

    def pixel(self, x, y):
        offset = (y * self.width + x) * 3
        return tuple(self.rgb[offset : offset + 3])

    def crop(self, left, top, right, bottom):
        left, top = max(0, left), max(0, top)
        right, bottom = min(self.width, right), min(self.height, bottom)
        rows = [self.rgb[(y * self.width + left) * 3 : (y * self.width + right) * 3] for y in range(top, bottom)]
        return Screenshot(right - left, bottom - top, b"".join(rows))

    def save_png(self, path):
        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

        stride = self.width * 3
        raw = b"".join(b"\0" + self.rgb[y * stride : (y + 1) * stride] for y in range(self.height))
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as png:
            png.write(b"\x89PNG\r\n\x1a\n")
            png.write(chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
        return path


def ring_pixels(rect, thickness):
    """The pixels of rect (left, top, right, bottom; right and bottom outside) less than thickness from its edge."""
    left, top, right, bottom = rect
    for y in range(top, bottom):
        for x in range(left, right):
            if x < left + thickness or x >= right - thickness or y < top + thickness or y >= bottom - thickness:
                yield x, y


def outline_pixels(rect):
    """The one-pixel outline lying exactly on rect's edge."""
    return ring_pixels(rect, 1)


def inset(rect, by):
    left, top, right, bottom = rect
    return left + by, top + by, right - by, bottom - by


def describe_pixels(shot, points, limit=4):
    return ", ".join(f"({x},{y})=#{shot.pixel(x, y)[0]:02X}{shot.pixel(x, y)[1]:02X}{shot.pixel(x, y)[2]:02X}"
                     for x, y in points[:limit]) + (f" ... ({len(points)} in all)" if len(points) > limit else "")


def frame_problems(shot, rect, thickness, baseline):
    """Why the frame is not exactly on rect's outer ring of the given thickness; empty when it is."""
    problems = []
    ring = list(ring_pixels(rect, thickness))
    off_colour = [p for p in ring if shot.pixel(*p) not in FRAME_COLOURS]
    if off_colour:
        problems.append(f"ring pixels neither red nor golden: {describe_pixels(shot, off_colour)}")
    colours = {shot.pixel(*p) for p in ring}
    for name, colour in (("red", RED), ("golden hatch", GOLD)):
        if colour not in colours:
            problems.append(f"no {name} pixel in the {thickness}-pixel ring")
    inner = list(outline_pixels(inset(rect, thickness)))
    covered = [p for p in inner if shot.pixel(*p) in FRAME_COLOURS]
    if covered:
        problems.append(f"frame colour just inside the ring: {describe_pixels(shot, covered)}")
    changed = [p for p in inner if shot.pixel(*p) != baseline.pixel(*p)]
    if changed and not covered:
        problems.append(f"button pixels just inside the ring differ from the button alone: "
                        f"{describe_pixels(shot, changed)}")
    outside = list(outline_pixels(inset(rect, -1)))
    not_dialog = [p for p in outside if shot.pixel(*p) != FIXTURE_DIALOG_COLOUR]
    if not_dialog:
        problems.append(f"pixels just outside the button are not the dialog's: {describe_pixels(shot, not_dialog)}")
    return problems


def element_frame_problems(shot, rect, thickness, baseline):
    """Why the frame is not exactly the red and golden ring on the element's outermost pixels, with the pixels
    just inside and just outside it as they are without a frame; empty when it is."""
    ring = list(ring_pixels(rect, thickness))
    off_colour = [p for p in ring if shot.pixel(*p) not in FRAME_COLOURS]
    problems = [f"ring pixels neither red nor golden: {describe_pixels(shot, off_colour)}"] if off_colour else []
    colours = {shot.pixel(*p) for p in ring}
    problems += [f"no {name} pixel in the ring" for name, colour in (("red", RED), ("golden", GOLD))
                 if colour not in colours]
    for where, outline in (("inside", inset(rect, thickness)), ("outside", inset(rect, -1))):
        changed = [p for p in outline_pixels(outline) if shot.pixel(*p) != baseline.pixel(*p)]
        if changed:
            problems.append(f"pixels just {where} the ring differ from the shot without a frame: "
                            f"{describe_pixels(shot, changed)}")
    return problems


def no_frame_problems(shot, rect, baseline):
    """Why rect's surroundings do not look as they do without Hovermark; empty when they do."""
    area = list(ring_pixels(inset(rect, -1), 6))
    framed = [p for p in area if shot.pixel(*p) in FRAME_COLOURS]
    changed = [p for p in area if shot.pixel(*p) != baseline.pixel(*p)]
    problems = []
    if framed:
        problems.append(f"frame colours around the button: {describe_pixels(shot, framed)}")
    if changed and not framed:
        problems.append(f"pixels around the button differ from the button alone: {describe_pixels(shot, changed)}")
    return problems


def hint_problems(shot, list_rect, shown):
    """Why the list does (shown) or does not show grey text below its rows: grey pixels (equal channels, from
    HINT_GREY to near white, many of them within HINT_CORE of HINT_GREY, the strokes' cores) between the last
    row's black text and the horizontal scroll bar, the list's frame left out. Empty when as wanted."""
    left, top, right, bottom = list_rect
    left, right, bottom = left + LIST_EDGE, right - LIST_EDGE, bottom - LIST_SCROLL_BAR_HEIGHT
    dark_rows = [y for y in range(top, bottom) if any(max(shot.pixel(x, y)) < DARK for x in range(left, right))]
    if not dark_rows:
        return ["no black text in the list: no rows"]
    below = max(dark_rows) + 2
    grey = [shot.pixel(x, y)[0] for y in range(below, bottom) for x in range(left, right)
            if len(set(shot.pixel(x, y))) == 1 and HINT_GREY <= shot.pixel(x, y)[0] < 240]
    cores = sum(value < HINT_GREY + HINT_CORE for value in grey)
    if shown and (len(grey) < 200 or cores < 50):
        return [f"between y={below} and y={bottom} only {len(grey)} grey pixels, {cores} of them strokes' cores"]
    if not shown and grey:
        return [f"{len(grey)} grey pixels between y={below} and y={bottom}"]
    return []


def last_grey_line_width(shot, list_rect):
    """How wide the last line of grey text below the list's rows is, in pixels (0 without one): the line the
    check's finding stands on, as long as its text."""
    left, top, right, bottom = list_rect
    left, right, bottom = left + LIST_EDGE, right - LIST_EDGE, bottom - LIST_SCROLL_BAR_HEIGHT
    dark_rows = [y for y in range(top, bottom) if any(max(shot.pixel(x, y)) < DARK for x in range(left, right))]
    below = max(dark_rows, default=top) + 2

    def grey(x, y):
        pixel = shot.pixel(x, y)
        return len(set(pixel)) == 1 and HINT_GREY <= pixel[0] < HINT_GREY + HINT_CORE

    rows = [y for y in range(below, bottom) if any(grey(x, y) for x in range(left, right))]
    if not rows:
        return 0
    # The last line: the last run of rows with grey in them.
    line = [rows[-1]]
    while len(line) < len(rows) and rows[-len(line) - 1] >= line[-1] - 2:
        line.append(rows[-len(line) - 1])
    xs = [x for y in line for x in range(left, right) if grey(x, y)]
    return max(xs) - min(xs) + 1


def finding_problems(shot, list_rect, found):
    """Why the grey line's last line is not as wide as what the check must have found, by the resolver's count
    of the last step's matches (`found`): "1 match", "N matches: the index picks this one", or no match."""
    counts = found.get("step_matches", "").split()
    if not counts:
        return ["the resolver counted nothing"]
    text = {"0": "no match: the framework would not find this one", "1": "1 match"}.get(
        counts[-1], f"{counts[-1]} matches: the index picks this one")
    width = last_grey_line_width(shot, list_rect)
    if abs(width - LIST_CHARACTER_WIDTH * len(text)) > LIST_CHARACTER_WIDTH:
        return [f"its last line is {width} pixels wide, not the {LIST_CHARACTER_WIDTH * len(text)} of {text!r}"]
    return []


def first_row_handle(copied):
    """The handle in the first row of a copy of the list, or None."""
    rows = (copied or b"").decode("utf-8", "replace").split("\r\n")
    fields = rows[0].split("\t") if rows else []
    return int(fields[1]) if len(fields) >= 3 and re.fullmatch(r"-?\d+", fields[1]) else None


# --- The desktop: X, Wine, processes -------------------------------------------------------------------------


def poll(fetch, accept=bool, timeout=5.0, interval=0.1):
    """Calls fetch until accept takes its value or timeout seconds pass; returns the last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = fetch()
        if accept(value) or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def xdotool(*args, timeout=15):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=timeout)


def visible_windows(name_pattern):
    # xdotool also finds the unmapped windows Wine keeps around, hence --onlyvisible.
    found = xdotool("search", "--onlyvisible", "--name", name_pattern)
    return [int(line) for line in found.stdout.split()]


def exact(title):
    return "^" + re.escape(title) + "$"


def geometry(window):
    shell = xdotool("getwindowgeometry", "--shell", str(window)).stdout
    values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def pointer():
    shell = xdotool("getmouselocation", "--shell").stdout
    values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
    return int(values["X"]), int(values["Y"])


def move_pointer(x, y):
    # Not --sync: it waits for a motion that never comes when the pointer is already there.
    xdotool("mousemove", str(x), str(y))
    return poll(pointer, lambda where: where == (x, y), 2.0)


def focus(window):
    return xdotool("windowfocus", "--sync", str(window), timeout=10).returncode == 0


def key(*names):
    xdotool("key", "--clearmodifiers", *names)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Processes:
    """The Windows programs this run started, each as the Unix process of its Wine loader."""

    def __init__(self, work_dir):
        self.work_dir = work_dir
        self.started = []

    def start(self, name, exe, *args, desktop=None):
        log = open(os.path.join(self.work_dir, f"{name}.log"), "ab")
        # On a Wine virtual desktop (explorer /desktop=NAME,WxH) Wine draws Windows-style title bars itself.
        launcher = ["wine", "explorer", f"/desktop={desktop},{SCREEN_SIZE[0]}x{SCREEN_SIZE[1]}"] if desktop else ["wine"]
        process = subprocess.Popen([*launcher, exe, *args], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        self.started.append(process)
        return process

    def stop_all(self):
        for process in self.started:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=10)


class Clipboard:
    def __init__(self, reader):
        self.reader = reader

    def read(self):
        """The clipboard's text as UTF-8 bytes, or None when there is none."""
        done = subprocess.run(["wine", self.reader], capture_output=True, timeout=30)
        return done.stdout if done.returncode == 0 else None

    def put(self, text):
        done = subprocess.run(["wine", self.reader, "--set"], input=text.encode(), capture_output=True, timeout=30)
        return done.returncode == 0


class LocatorResolver:
    """locator_resolver.exe: a locator's evaluation by pywinauto's documented rules, inside Wine."""

    def __init__(self, exe):
        self.exe = exe

    def resolve(self, locator):
        """(exit code, {key: value}) for the locator's bytes."""
        done = subprocess.run(["wine", self.exe, "--timeout=20"], input=locator, capture_output=True, timeout=40)
        lines = done.stdout.decode("utf-8", "replace").splitlines()
        return done.returncode, dict(line.split("=", 1) for line in lines if "=" in line)


class WindowProbe:
    def __init__(self, exe):
        self.exe = exe

    def windows(self, title):
        """[(handle, topmost, visible)] of the top-level windows titled exactly title, as Windows sees them."""
        done = subprocess.run(["wine", self.exe, title], capture_output=True, text=True, timeout=30)
        found = re.findall(r"^(-?\d+) topmost=([01]) visible=([01])$", done.stdout, re.MULTILINE)
        return [(int(handle), topmost == "1", visible == "1") for handle, topmost, visible in found]


class Fixture:
    """A fixture program started with an info file and a command file of its own, both named after it."""

    def __init__(self, processes, exe, work_dir, desktop=None, name="fixture"):
        self.info_path = os.path.join(work_dir, f"{name}-info.txt")
        self.command_path = os.path.join(work_dir, f"{name}-command.txt")
        for path in (self.info_path, self.command_path):
            if os.path.exists(path):
                os.remove(path)
        self.process = processes.start(name, exe, windows_path(self.info_path), windows_path(self.command_path),
                                       desktop=desktop)
        self.info = {}

    def read_info(self):
        """The info file as it is now; what it said before (a destroyed window's handle) stays in self.info."""
        try:
            with open(self.info_path, encoding="utf-8") as info:
                current = dict(line.rstrip("\n").split("=", 1) for line in info if "=" in line)
        except FileNotFoundError:
            current = {}
        self.info.update(current)
        return current

    def rect(self, name):
        return tuple(int(value) for value in self.info[f"{name}_rect"].split())

    def client(self, name):
        return tuple(int(value) for value in self.info[f"{name}_client"].split())

    def centre(self, name):
        left, top, right, bottom = self.client(name)
        return (left + right) // 2, (top + bottom) // 2

    def command(self, text):
        with open(self.command_path + ".tmp", "w") as command:
            command.write(text)
        os.replace(self.command_path + ".tmp", self.command_path)

    def row(self, name, text):
        return f"{self.info[name + '_class']}\t{self.info[name + '_hwnd']}\t{text}\r\n"

    def button_chain(self):
        return (self.row("button", "OK") + self.row("dialog", "Grüße — Привет\t") + self.row("main", "Fixture Main"))


def save_screenshot_around(shot, directory, name, rects):
    """Writes the part of a screenshot that holds the rectangles, with a margin, for the README."""
    margin = 20
    left = min(r[0] for r in rects) - margin
    top = min(r[1] for r in rects) - margin
    right = max(r[2] for r in rects) + margin
    bottom = max(r[3] for r in rects) + margin
    os.makedirs(directory, exist_ok=True)
    path = shot.crop(left, top, right, bottom).save_png(os.path.join(directory, name))
    print(f"  saved {path}", flush=True)


def cpu_microseconds(pid):
    """The time on a CPU of every thread of the process, from the scheduler; 0 once it has gone."""
    total = 0
    for path in glob.glob(f"/proc/{pid}/task/*/schedstat"):
        try:
            with open(path) as stat:
                total += int(stat.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total // 1000


def show_bytes(data):
    return "(nothing)" if data is None else repr(data.decode("utf-8", "backslashreplace"))


# --- The run -------------------------------------------------------------------------------------------------


class Run:
    def __init__(self, options):
        self.options = options
        self.work_dir = options.work_dir
        self.report = Report(self.work_dir)
        self.processes = Processes(self.work_dir)
        helpers = os.path.join(options.build_dir, "tests", "e2e")
        self.fixture_exe = os.path.join(helpers, "hovermark_fixture.exe")
        self.clipboard = Clipboard(os.path.join(helpers, "hovermark_read_clipboard.exe"))
        self.probe = WindowProbe(os.path.join(helpers, "hovermark_window_probe.exe"))
        self.resolver = LocatorResolver(os.path.join(helpers, "hovermark_locator_resolver.exe"))
        self.hovermark_exe = os.path.join(options.build_dir, "hovermark.exe")
        self.fixture = None
        self.fixture_button_rect = None
        self.baseline = None
        self.hovermark = None
        self.hovermark_window = None

    def group(self, title, body, needs_hovermark=True):
        self.report.group = title
        print(f"== {title}", flush=True)
        if needs_hovermark and (self.hovermark is None or self.hovermark.poll() is not None):
            self.report.check(False, "not run: Hovermark is not running")
            return
        try:
            body()
        except CheckFailed as failure:
            print(f"  (rest of the group left out after: {failure})", flush=True)
        except Exception:  # a broken step is a failed group, not a crashed run
            self.report.check(False, "the group ran into an error", seen=traceback.format_exc().strip())

    # Sets the sentinel, presses Ctrl+C in Hovermark and reads the clipboard until it holds `expected`.
    def copy_until(self, expected, timeout=5.0):
        seen = None

        def attempt():
            nonlocal seen
            if not self.clipboard.put(SENTINEL):
                seen = b"(the reader could not set the sentinel)"
                return False
            focus(self.hovermark_window)
            key("ctrl+c")
            seen = poll(self.clipboard.read, lambda text: text not in (None, SENTINEL.encode()), 1.0)
            return seen == expected.encode()

        poll(attempt, timeout=timeout, interval=TICK)
        return seen

    # Ctrl+C until the list's first row is the window `handle`: the copy, or None when it never was.
    def copy_with_first_row(self, handle, timeout=5.0):
        copied = None

        def attempt():
            nonlocal copied
            if not self.clipboard.put(SENTINEL):
                return False
            focus(self.hovermark_window)
            key("ctrl+c")
            copied = poll(self.clipboard.read, lambda text: text not in (None, SENTINEL.encode()), 1.0)
            return first_row_handle(copied) == handle

        return copied if poll(attempt, timeout=timeout, interval=TICK) else None

    # Ctrl+L once: the clipboard's bytes once they are no longer the sentinel, or None.
    def copy_locator(self):
        if not self.clipboard.put(SENTINEL):
            return None
        focus(self.hovermark_window)
        key("ctrl+l")
        copied = poll(self.clipboard.read, lambda text: text not in (None, SENTINEL.encode()), LOCATOR_TIMEOUT, 0.2)
        return copied if copied != SENTINEL.encode() else None

    def list_rect(self):
        left, top, right, _ = self.hovermark_rect()
        return left, top, right, top + LIST_HEIGHT

    # Points at a window, copies its locator with Ctrl+L and has the resolver find it: the locator, the
    # resolver's answer, and the shot of the grey line; None when the list never showed the window first.
    def check_window_locator(self, name, point):
        report = self.report
        handle = int(self.fixture.info[f"{name}_hwnd"])
        move_pointer(*point)
        chain = self.copy_with_first_row(handle)
        if not report.check(chain is not None, f"{name}: the list's first row is the window pointed at", handle,
                            "never"):
            return None
        problems = hint_problems(Screenshot.grab(), self.list_rect(), False)
        report.check(not problems, f"{name}: no grey line below the rows before Ctrl+L", "none", problems)
        locator = self.copy_locator()
        report.require(locator is not None, f"{name}: Ctrl+L puts a locator on the clipboard", "a locator",
                       "the clipboard unchanged")
        print(f"       (locator: {show_bytes(locator)})", flush=True)
        report.check(locator.startswith(b'Desktop(backend="win32").window(') and b"\n" not in locator,
                     f"{name}: the locator is one pywinauto win32 expression", 'Desktop(backend="win32").window(...',
                     show_bytes(locator))
        code, found = self.resolver.resolve(locator)
        report.check(code == 0 and found.get("hwnd") == str(handle),
                     f"{name}: pywinauto's rules find exactly the first row's window", f"hwnd={handle}",
                     f"exit {code}: {found}")
        shot, problems = self.shot_until(lambda shot: hint_problems(shot, self.list_rect(), True), LOCATOR_TIMEOUT)
        report.check(not problems, f"{name}: the check's grey line shows below the rows", "grey text", problems,
                     shot if problems else None)
        problems = finding_problems(shot, self.list_rect(), found)
        report.check(not problems, f"{name}: the grey line's count is the resolver's", found.get("step_matches"),
                     problems, shot if problems else None)
        again = self.copy_with_first_row(handle)
        report.check(again == chain, f"{name}: Ctrl+C after Ctrl+L copies the rows alone", show_bytes(chain),
                     show_bytes(again))
        return locator, found

    def check_clipboard(self, expected, what, timeout=5.0):
        seen = self.copy_until(expected, timeout)
        return self.report.check(seen == expected.encode(), what, show_bytes(expected.encode()), show_bytes(seen))

    # Takes screenshots until problems_of finds nothing in one, or the time is up: the last shot and its problems.
    @staticmethod
    def shot_until(problems_of, timeout=3.0):
        def probe():
            shot = Screenshot.grab()
            return shot, problems_of(shot)

        return poll(probe, lambda result: not result[1], timeout=timeout, interval=0.05)

    def frame_on_button(self, thickness, timeout=3.0):
        rect = self.fixture.rect("button")
        return self.shot_until(lambda shot: frame_problems(shot, rect, thickness, self.baseline), timeout)

    def frame_gone(self, timeout=3.0):
        rect = self.fixture.rect("button")
        return self.shot_until(lambda shot: no_frame_problems(shot, rect, self.baseline), timeout)

    def check_frame(self, thickness, what):
        shot, problems = self.frame_on_button(thickness)
        self.report.check(not problems, what, f"a {thickness}-pixel red/golden ring on the button's edge",
                          "; ".join(problems), None if not problems else shot)
        return shot

    def check_bar_count(self, count, what):
        bars = poll(lambda: visible_windows(exact(BAR_TITLE)), lambda found: len(found) == count, 3.0)
        self.report.check(len(bars) == count, what, f"{count} visible windows titled {BAR_TITLE!r}", len(bars))

    def save_for_docs(self, shot, name, windows):
        if self.options.save_screenshots:
            save_screenshot_around(shot, self.options.save_screenshots, name, windows)

    def hovermark_rect(self):
        x, y, width, height = geometry(self.hovermark_window)
        return x, y, x + width, y + height

    # --- groups ---

    def desktop_and_helpers(self):
        report = self.report
        report.require(os.path.isfile(self.fixture_exe), "the fixture is built", self.fixture_exe, "missing")
        shot = Screenshot.grab()
        report.check((shot.width, shot.height) == SCREEN_SIZE, "the virtual screen's size", SCREEN_SIZE,
                     (shot.width, shot.height))

        self.fixture = Fixture(self.processes, self.fixture_exe, self.work_dir)
        info = poll(lambda: self.fixture.read_info().get("button_rect"), timeout=60)
        report.require(info, "the fixture writes its windows' handles and places", self.fixture.info_path,
                       self.fixture.info or "no info file")
        names = {"main": "  Fixture Main  ", "dialog": "  Grüße — Привет\t", "lone": "  Lone  top-level window "}
        found = {name: visible_windows(exact(title)) for name, title in names.items()}
        report.check(all(len(ids) == 1 for ids in found.values()), "each fixture top-level window is shown once",
                     "one visible X window per title", found)
        report.check(self.fixture.info["button_class"] == "Button", "the OK button's class", "Button",
                     self.fixture.info["button_class"])

        def fixture_drawn():
            shot = Screenshot.grab()
            expected = {"main": FIXTURE_MAIN_COLOUR, "dialog": FIXTURE_DIALOG_COLOUR, "lone": FIXTURE_LONE_COLOUR}
            # The lower right corner of each client area: clear of the painted caption text.
            corners = {name: shot.pixel(self.fixture.client(name)[2] - 5, self.fixture.client(name)[3] - 5)
                       for name in expected}
            return shot, corners, corners == expected

        shot, corners, drawn = poll(fixture_drawn, lambda result: result[2], 10)
        report.check(drawn, "the fixture's client areas show their colours where the fixture says they are",
                     {"main": FIXTURE_MAIN_COLOUR, "dialog": FIXTURE_DIALOG_COLOUR, "lone": FIXTURE_LONE_COLOUR},
                     corners, None if drawn else shot)
        button = self.fixture.rect("button")
        face = shot.pixel((button[0] + button[2]) // 2, button[1] + 4)
        report.check(face not in FRAME_COLOURS + (FIXTURE_DIALOG_COLOUR,), "the OK button is drawn inside the dialog",
                     "a button face, neither frame nor dialog colour", face)
        outside = [p for p in outline_pixels(inset(button, -1)) if shot.pixel(*p) != FIXTURE_DIALOG_COLOUR]
        report.check(not outside, "the dialog's colour surrounds the button's rectangle", FIXTURE_DIALOG_COLOUR,
                     describe_pixels(shot, outside) if outside else "all dialog colour", None if not outside else shot)

        self.fixture_button_rect = self.fixture.rect("button")
        target = self.fixture.centre("button")
        pointer = move_pointer(*target)
        report.check(pointer == target, "the pointer moves onto the OK button", target, pointer)
        # The button as it looks without Hovermark, with the pointer on it: the frame checks compare against it.
        self.baseline = Screenshot.grab()

        text = "tab\there\r\nGrüße — Привет\t\r\n"
        report.check(self.clipboard.put(text), "the reader puts text on the clipboard")
        seen = self.clipboard.read()
        report.check(seen == text.encode(), "the reader gives back the exact bytes (CR LF, tabs, UTF-8)",
                     show_bytes(text.encode()), show_bytes(seen))

    def start_hovermark(self):
        report = self.report
        report.require(self.baseline is not None, "the desktop and helper checks got as far as the baseline shot")
        report.require(os.path.isfile(self.hovermark_exe), "hovermark.exe is built", self.hovermark_exe, "missing")
        self.hovermark = self.processes.start("hovermark", self.hovermark_exe)
        windows = poll(lambda: visible_windows(exact(HOVERMARK_TITLE)), timeout=60)
        report.require(len(windows) == 1, f"one visible window titled {HOVERMARK_TITLE!r}", 1, len(windows))
        self.hovermark_window = windows[0]
        x, y, width, height = geometry(self.hovermark_window)
        report.check((width, height) == HOVERMARK_CLIENT_SIZE, "the main window's client size in pixels",
                     HOVERMARK_CLIENT_SIZE, (width, height))
        # Centred as a whole window; the caption Wine leaves undrawn without a window manager shifts the client.
        centre = (x + width / 2, y + height / 2)
        report.check(abs(centre[0] - SCREEN_SIZE[0] / 2) <= 4 and abs(centre[1] - SCREEN_SIZE[1] / 2) <= 20,
                     "the main window is centred on the screen", "client centre near (640, 512)", centre)
        self.check_bar_count(4, "the frame is four visible bar windows")

    def copy_button_chain(self):
        target = self.fixture.centre("button")
        move_pointer(*target)
        self.check_clipboard(self.fixture.button_chain(), "Ctrl+C copies the button, its dialog and the owner")

    def frame_thickness(self):
        shot = self.check_frame(2, "the default 2-pixel frame lies on the button's outermost pixels")
        self.save_for_docs(shot, "hovermark-frame.png",
                           [self.hovermark_rect(), self.fixture.rect("dialog"), self.fixture.rect("main")])
        focus(self.hovermark_window)
        # The keypad's "+" and "-" type the same characters as the main keyboard's.
        for name, thickness in (("plus", 3), ("KP_Add", 4), ("plus", 4), ("KP_Subtract", 3), ("minus", 2),
                                ("minus", 1), ("minus", 1), ("plus", 2)):
            key(name)
            self.check_frame(thickness, f"after {name!r} the frame is {thickness} pixel(s) thick")
        # The window sees every key first and the focused control still gets it: Tab moves the focus from the
        # first control in the tab order to the slider, whose own arrow keys then change the thickness.
        key("Tab")
        for name, thickness in (("Right", 3), ("Right", 4), ("Right", 4), ("Left", 3), ("Left", 2)):
            key(name)
            self.check_frame(thickness, f"the focused slider takes {name!r}: the frame is {thickness} pixel(s) thick")

    def frame_toggle(self):
        focus(self.hovermark_window)
        key("F9")
        shot, problems = self.frame_gone()
        self.report.check(not problems, "F9 hides the frame", "the button as it is without Hovermark",
                          "; ".join(problems), shot if problems else None)
        self.check_bar_count(0, "F9 leaves no bar window visible")
        key("F9")
        self.check_frame(2, "F9 again shows the 2-pixel frame")
        self.check_bar_count(4, "F9 again shows the four bars")

    def on_top(self):
        report = self.report
        bars = self.probe.windows(BAR_TITLE)
        report.check(len(bars) == 4 and all(topmost and visible for _, topmost, visible in bars),
                     "Windows sees four visible topmost bar windows", "4 x (topmost, visible)",
                     [(topmost, visible) for _, topmost, visible in bars])
        states = [topmost for _, topmost, _ in self.probe.windows(HOVERMARK_TITLE)]
        report.check(states == [True], "from the start the main window stays on top", [True], states)
        focus(self.hovermark_window)
        for expected in (False, True, False, True):
            key("F8")
            states = poll(lambda: [topmost for _, topmost, _ in self.probe.windows(HOVERMARK_TITLE)],
                          lambda found: found == [expected], 3.0)
            report.check(states == [expected], f"F8 makes the main window {'topmost' if expected else 'not topmost'}",
                         [expected], states)

    def pause(self):
        report = self.report
        target = self.fixture.centre("button")
        move_pointer(*target)
        self.check_clipboard(self.fixture.button_chain(), "running: the list shows the button")
        focus(self.hovermark_window)
        key("p")
        # The key reaches the program through Wine's queue; a tick after the move but before the key would count.
        time.sleep(3 * TICK)
        lone = self.fixture.centre("lone")
        pointer = move_pointer(*lone)
        report.check(pointer == lone, "the pointer moves onto the lone window", lone, pointer)
        time.sleep(5 * TICK)
        self.check_clipboard(self.fixture.button_chain(), "paused: the list still shows the button", timeout=1.0)
        self.check_frame(2, "paused: the frame stays on the button")
        focus(self.hovermark_window)
        key("Pause")
        self.check_clipboard(self.fixture.row("lone", "Lone  top-level window"),
                             "resumed with the Pause key: the list shows the lone window alone")
        shot, problems = self.frame_gone()
        report.check(not problems, "resumed: the frame has left the button", "the button as it is without Hovermark",
                     "; ".join(problems), shot if problems else None)

    def help_box(self):
        report = self.report
        focus(self.hovermark_window)
        key("F1")
        boxes = poll(lambda: visible_windows(exact(HELP_TITLE)), timeout=5)
        report.require(len(boxes) == 1, f"F1 shows one window titled {HELP_TITLE!r}", 1, len(boxes))
        shot = Screenshot.grab()
        x, y, width, height = geometry(boxes[0])
        self.save_for_docs(shot, "hovermark-help.png", [self.hovermark_rect(), (x, y, x + width, y + height)])
        focus(boxes[0])
        key("Return")
        left = poll(lambda: visible_windows(exact(HELP_TITLE)), lambda found: not found, 5)
        report.check(not left, "Enter closes the help box", "no visible help box", f"{len(left)} visible")
        # The program still answers after the box.
        move_pointer(*self.fixture.centre("button"))
        self.check_clipboard(self.fixture.button_chain(), "after the help box Ctrl+C still copies the button")

    def destroyed(self):
        report = self.report
        move_pointer(*self.fixture.centre("button"))
        report.require(self.copy_until(self.fixture.button_chain()) == self.fixture.button_chain().encode(),
                       "the list shows the button before the dialog goes")
        self.check_frame(2, "the frame is on the button before the dialog goes")
        before = self.list_colour_counts(Screenshot.grab())
        report.check(not any(before.values()), "no red text in the list before the dialog goes", "none", before)
        focus(self.hovermark_window)
        key("p")
        time.sleep(3 * TICK)
        self.fixture.command("destroy-dialog")
        destroyed = poll(lambda: self.fixture.read_info().get("dialog_destroyed"), timeout=10)
        report.require(destroyed, "the fixture destroys its dialog", "dialog_destroyed=1 in the info file",
                       self.fixture.info)
        expected = self.fixture.button_chain() + DESTROYED_LINES
        self.check_clipboard(expected, "a blank row and the Destroyed! row follow the chain")
        time.sleep(10 * TICK)
        self.check_clipboard(expected, "ten ticks later the rows are not added again", timeout=1.0)
        shot, problems = self.frame_gone_after_destroy()
        report.check(not problems, "the frame is hidden once the window is gone", "no frame colour there",
                     "; ".join(problems), shot if problems else None)
        self.check_bar_count(0, "no bar window is visible once the window is gone")
        # Anti-aliasing leaves only the strokes' cores in the exact colours; a line of text has far more than 20.
        after = self.list_colour_counts(shot)
        report.check(all(count >= 20 for count in after.values()),
                     "the Destroyed! row shows in red with its explanation in dark red",
                     "at least 20 pixels of each colour in the list", after, shot if min(after.values()) < 20 else None)
        self.save_for_docs(shot, "hovermark-destroyed.png", [self.hovermark_rect(), self.fixture.rect("main")])

    def window_locators(self):
        report = self.report
        fixture = self.fixture
        for name in ("button", "hostile", "same1", "same2", "same3", "lone"):
            checked = self.check_window_locator(name, fixture.centre(name))
            if checked is None:
                continue
            locator, found = checked
            text = locator.decode("utf-8", "replace")
            if name == "hostile":
                # No control id: the text itself, with its quotes, backslash, tab, line break and emoji, as a
                # Python literal the resolver read back exactly.
                report.check("title=" in text.rsplit(".child_window(", 1)[-1],
                             "hostile: the button is found by its whole text", "title=... in the last step", text)
            if name in ("same2", "same3"):
                # Its panel and the one beside it have the same class and title: only the order tells them apart.
                steps = [int(count) for count in found.get("step_matches", "").split()]
                report.check("found_index=" in text and any(count > 1 for count in steps),
                             f"{name}: the index picks it among matches", "found_index= over several matches",
                             f"{text} ({steps})")
        # The list changes, and the grey line goes with it.
        move_pointer(*fixture.centre("button"))
        self.copy_with_first_row(int(fixture.info["button_hwnd"]))
        shot, problems = self.shot_until(lambda shot: hint_problems(shot, self.list_rect(), False))
        report.check(not problems, "once the list changes, the grey line is gone", "none", problems,
                     shot if problems else None)

    def list_colour_counts(self, shot):
        left, top, right, _ = self.hovermark_rect()
        counts = {name: 0 for name in DESTROYED_COLOURS}
        for y in range(top, top + LIST_HEIGHT):
            for x in range(left, right):
                for name, colour in DESTROYED_COLOURS.items():
                    counts[name] += shot.pixel(x, y) == colour
        return counts

    def frame_gone_after_destroy(self):
        # The dialog has gone with the button, so the baseline no longer applies; only the frame's colours count.
        rect = inset(self.fixture_button_rect, -1)

        def problems_of(shot):
            framed = [p for p in ring_pixels(rect, 6) if shot.pixel(*p) in FRAME_COLOURS]
            return [f"frame colours: {describe_pixels(shot, framed)}"] if framed else []

        return self.shot_until(problems_of)

    def exit_by(self, how):
        report = self.report
        focus(self.hovermark_window)
        if how == "the Exit button":
            left, top, _, _ = self.hovermark_rect()
            move_pointer(left + EXIT_BUTTON[0] + EXIT_BUTTON[2] // 2, top + EXIT_BUTTON[1] + EXIT_BUTTON[3] // 2)
            xdotool("click", "1")
        else:
            key("alt+F4")
        asked = time.monotonic()
        try:
            code = self.hovermark.wait(timeout=10)
        except subprocess.TimeoutExpired:
            code = None
        report.check(code is not None, f"{how} ends the program within 10 s", "the process ends", "still running")
        print(f"       (it took {time.monotonic() - asked:.1f} s)", flush=True)
        report.check(code in (None, 0), f"after {how} the exit code is 0", 0, code)
        report.check(not visible_windows(exact(HOVERMARK_TITLE)), f"after {how} the main window is gone")
        self.check_bar_count(0, f"after {how} no bar window is left visible")

    def run(self):
        self.group("desktop and helpers", self.desktop_and_helpers, needs_hovermark=False)
        self.group("start", self.start_hovermark, needs_hovermark=False)
        self.group("clipboard: the chain under the pointer", self.copy_button_chain)
        self.group("frame thickness", self.frame_thickness)
        self.group("F9 hides and shows the frame", self.frame_toggle)
        self.group("F8: stay on top", self.on_top)
        self.group("pause and resume", self.pause)
        self.group("help", self.help_box)
        self.group("Ctrl+L: each window's locator finds it", self.window_locators)
        self.group("a watched window is destroyed", self.destroyed)
        self.group("exit with the Exit button", lambda: self.exit_by("the Exit button"))
        self.group("second run: start", self.start_hovermark, needs_hovermark=False)
        self.group("second run: exit with Alt+F4", lambda: self.exit_by("Alt+F4"))
        if self.options.save_screenshots:
            self.group("screenshots with title bars", self.screenshots_with_title_bars, needs_hovermark=False)

    # For the README: the same scene on a Wine virtual desktop, with the title bars a user sees on Windows.
    def screenshots_with_title_bars(self):
        self.processes.stop_all()
        fixture = Fixture(self.processes, self.fixture_exe, self.work_dir, desktop=DOCS_DESKTOP)
        self.report.require(poll(lambda: fixture.read_info().get("button_rect"), timeout=60),
                            "the fixture starts on the virtual desktop")
        self.processes.start("hovermark-desktop", self.hovermark_exe, desktop=DOCS_DESKTOP)
        button = fixture.rect("button")
        move_pointer(*fixture.centre("button"))

        def framed():
            shot = Screenshot.grab()
            return shot, all(shot.pixel(x, y) in FRAME_COLOURS for x, y in ring_pixels(button, 2))

        shot, on_button = poll(framed, lambda result: result[1], 60)
        self.report.check(on_button, "on the virtual desktop the frame lies on the OK button", shot=None if on_button else shot)
        shot.crop(*DOCS_DESKTOP_AREA).save_png(os.path.join(self.options.save_screenshots, "hovermark-desktop.png"))
        # Inside the virtual desktop Wine still gives each top-level window an X window of its own.
        main_window = poll(lambda: visible_windows(exact(HOVERMARK_TITLE)), timeout=5)
        self.report.require(main_window, "Hovermark's window is found on the virtual desktop")
        focus(main_window[0])
        key("F1")
        box = poll(lambda: visible_windows(exact(HELP_TITLE)), timeout=5)
        self.report.check(box, "F1 shows the help box on the virtual desktop")
        Screenshot.grab().crop(*DOCS_DESKTOP_AREA).save_png(
            os.path.join(self.options.save_screenshots, "hovermark-help-desktop.png"))
        key("Return")
        print(f"  saved the title-bar screenshots in {self.options.save_screenshots}", flush=True)

    # Hovermark beside the fixture, the pointer on the OK button and the frame around it, as one screenshot.
    def demo(self, path):
        self.group("desktop and helpers", self.desktop_and_helpers, needs_hovermark=False)
        self.group("start", self.start_hovermark, needs_hovermark=False)
        self.group("the frame on the OK button", lambda: self.check_frame(2, "the frame lies on the OK button"))
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        Screenshot.grab().save_png(path)
        print(f"\nScreenshot of Hovermark inspecting the fixture's OK button: {os.path.abspath(path)}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/windows", help="where hovermark.exe and tests/e2e/ are")
    parser.add_argument("--work-dir", default="build/e2e", help="for the fixture's files, logs and failure shots")
    parser.add_argument("--save-screenshots", metavar="DIR", help="save the README's screenshots to DIR")
    parser.add_argument("--demo", metavar="PNG", help="no checks: show Hovermark on the fixture and save a screenshot")
    options = parser.parse_args()
    os.makedirs(options.work_dir, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        sys.exit("DISPLAY is not set: scripts/e2e.sh starts the virtual display")

    run = Run(options)
    started = time.monotonic()
    try:
        if options.demo:
            run.demo(options.demo)
        else:
            run.run()
    finally:
        run.processes.stop_all()
    return run.report.finish(started)


if __name__ == "__main__":
    sys.exit(main())
