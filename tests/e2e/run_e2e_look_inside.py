#!/usr/bin/python3
"""The end-to-end proof of looking inside windows on Windows: the real hovermark.exe under Wine on a virtual X
display beside a fixture that draws its controls itself and describes them only through IAccessible
(accessible_fixture.cpp): a button three objects deep, a list with simple children, and one plain BUTTON child
window.

It drives Hovermark with the real pointer and keys (xdotool) and checks what a user gets: the clipboard's exact
bytes (read inside Wine) against an independent reading of the elements (read_elements.cpp, sharing no code with
Hovermark), the frame on a drawn control's pixels (root screenshots), "Destroyed!" once for a removed element,
answers within a second while the fixture hangs, F1's text and Alt+F4 while the fixture hangs. Then, on a fresh
fixture, slow applications that answer every call late (each method after 135 or 240 ms, or a message loop 40 ms
late): at rest the reader's rows, from outside the window its row at once and its elements when they come,
between the window's elements never the window rows alone, and every Ctrl+C answered within half a second; and
four hung copies of the fixture beside a prompt one: each hung window keeps its title, and the prompt one is
read at once. Ctrl+L over each drawn element copies a pywinauto uia locator that a resolver of the run's own
(locator_resolver.cpp) finds by pywinauto's rules: exactly that element, at the place the frame lies on; over
the hung fixture, within a second (and the harness's own tenth), with "not checked" below the rows.

scripts/e2e.sh sets up the display, the Wine prefix and the build, then runs this file after run_e2e.py.
Standard library only.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e as shared  # noqa: E402

TICK = shared.TICK
START_TIMEOUT = 60.0
FIXTURE_TITLE = "Drawn Controls"
# The drawn controls' solid colours (accessible_fixture.cpp), each seen near its own lower right corner.
COLOURS = {"panel": (0x4A, 0x6F, 0xA5), "toolbar": (0x8E, 0xC0, 0x7C), "button": (0xE0, 0x8E, 0x3C),
           "list": (0x9B, 0x6F, 0xB5), "item1": (0xF4, 0xD0, 0x3F), "item2": (0xF2, 0xA5, 0xB8),
           "item3": (0x5C, 0xC8, 0xC8)}
# The fixture sleeps this long on "hang"; meanwhile every Ctrl+C must answer within HUNG_ANSWER_SECONDS.
HANG_SECONDS = 8
HUNG_ANSWER_SECONDS = 1.0
# How long one Ctrl+C is waited for, so that an answer later than a second is still measured.
COPY_WAIT_SECONDS = 5.0
# A copy this long after a move comes after a tick that saw it: a tick starts within TICK and waits at most
# 250 ms for a call; a Ctrl+C that comes during that wait is answered with the rows from before the move.
SETTLE_SECONDS = 0.5
# After the hang, the elements must be back within this (an application that did not answer may be left
# alone for a few seconds).
BACK_TIMEOUT = 12.0
# Alt+F4 with the mode on, the fixture hung, must end the program within this much more than it takes without
# the mode. The floor is Wine's: without a window manager it waits 2 s for each top-level window it withdraws
# (the fixture's own windows take as long to go).
EXIT_MARGIN_SECONDS = 1.0
# A slow application answers every call, late: within the 250 ms a call is given, each answer is an answer.
SLOW_CALLS_MILLISECONDS = (135, 240)
SLOW_MESSAGES_MILLISECONDS = 40
# A rest this long on an element of a slow application shows its rows as the reader reads them.
SLOW_REST_SECONDS = 3.0
# Every Ctrl+C is answered within this, however slow the application under the pointer.
SLOW_ANSWER_SECONDS = 0.5
# Coming from outside the window, a slow application's elements come within this (a walk of a dozen calls).
SLOW_ENTRY_SECONDS = 8.0
# The desktop, outside every window of the run.
OUTSIDE = (100, 900)
# Ctrl+L over an element of a hung fixture: the locator within this (a second, and a tenth for the harness's own
# key and clipboard reads), its check "not checked".
HUNG_LOCATOR_SECONDS = 1.1
NOT_CHECKED = "not checked: the application did not answer in time"
# Small moves inside the drawn button, in pixels from its centre.
NUDGES = ((3, 0), (3, 3), (0, 3))
# Four copies of the fixture hang while the pointer visits each; the prompt one is read within
# PROMPT_AMONG_HUNG_SECONDS of the pointer reaching it. Their windows, side by side above Hovermark's.
HUNG_COPIES = 4
HUNG_COPIES_SECONDS = 40
HUNG_COPY_WIDTH, HUNG_COPY_HEIGHT = 320, 300
PROMPT_AMONG_HUNG_SECONDS = 2.0
LOOK_INSIDE_HELP = ("Press the 'F7' key to look inside windows: the button, text field or other element under the "
                    "mouse pointer is listed above its window (when Hovermark has the focus).")
HELP_TITLE = shared.HELP_TITLE
# A virtual desktop of this run's own: the one run_e2e.py used in the same prefix may outlive its X window.
DOCS_DESKTOP = "hovermark-look-inside-docs"


def xclip_text():
    """The X clipboard as Wine exports it (CR LF as LF): quick to read, for telling when the clipboard changed."""
    try:
        done = subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", "UTF8_STRING"], capture_output=True,
                              timeout=2)
    except subprocess.TimeoutExpired:
        return None
    return done.stdout if done.returncode == 0 else None


class DrawnControls(shared.Fixture):
    """The fixture: its drawn elements' rectangles are screen rectangles in its info file. A copy of its own
    takes a name (for its files), a title and a window rectangle (left, top, right, bottom) of its own."""

    def __init__(self, processes, exe, work_dir, desktop=None, name="accessible-fixture", title=None, rect=None):
        # shared.Fixture's start, with the fixture's options after its two files.
        self.info_path = os.path.join(work_dir, f"{name}-info.txt")
        self.command_path = os.path.join(work_dir, f"{name}-command.txt")
        for path in (self.info_path, self.command_path):
            if os.path.exists(path):
                os.remove(path)
        self.title = title or FIXTURE_TITLE
        options = ([f"--title={title}"] if title else []) + (["--rect=" + ",".join(map(str, rect))] if rect else [])
        self.process = processes.start(name, exe, shared.windows_path(self.info_path),
                                       shared.windows_path(self.command_path), *options, desktop=desktop)
        self.info = {}

    def centre(self, name):
        left, top, right, bottom = self.rect(name)
        return (left + right) // 2, (top + bottom) // 2

    def lower_right(self, name):
        _, _, right, bottom = self.rect(name)
        return right - 4, bottom - 4

    def window_row(self):
        return f"{self.info['window_class']}\t{self.info['window_hwnd']}\t{self.title}\r\n"

    def plain_row(self):
        return f"{self.info['plain_class']}\t{self.info['plain_hwnd']}\tPlain\r\n"

    def call_counts(self):
        """What the fixture has received so far (its "stats" command): "calls" (IAccessible and IDispatch
        methods), "queries" (QueryInterface), "addrefs", "releases", "getobject" (WM_GETOBJECT), "messages" (what
        its message loop took), and "calls.METHOD", "queries.INTERFACE" and "messages.WINDOW_CLASS" by kind;
        calls from other programs arrive as messages for "messages.OleMainThreadWndClass"."""
        os.remove(self.info_path)
        self.command("stats")
        info = shared.poll(self.read_info, lambda found: "calls" in found, 10.0)
        counted = ("calls", "queries", "addrefs", "releases", "getobject", "messages")
        return {key: int(value) for key, value in info.items() if key.split(".")[0] in counted}

    def command_taken(self, text, timeout=5.0):
        """Gives a command and waits until the fixture has taken it (its command file is gone)."""
        self.command(text)
        return shared.poll(lambda: not os.path.exists(self.command_path), timeout=timeout, interval=0.02)


class LookInsideRun(shared.Run):
    def __init__(self, options):
        super().__init__(options)
        helpers = os.path.join(options.build_dir, "tests", "e2e")
        self.accessible_exe = os.path.join(helpers, "hovermark_accessible_fixture.exe")
        self.reader_exe = os.path.join(helpers, "hovermark_read_elements.exe")
        self.texts_exe = os.path.join(helpers, "hovermark_window_texts.exe")
        self.drawn = None
        self.exit_floor = None

    # --- helpers ---

    def read_elements(self, point, window=None):
        """The independent reading at point, over the window given (the fixture's by default): the rows' bytes."""
        out = os.path.join(self.work_dir, "elements.txt")
        if os.path.exists(out):
            os.remove(out)
        window = window or self.drawn.info["window_hwnd"]
        done = subprocess.run(["wine", self.reader_exe, str(window), str(point[0]), str(point[1]),
                               shared.windows_path(out), "--timeout=20"], capture_output=True, timeout=40)
        self.report.require(done.returncode == 0 and os.path.exists(out), f"the reader reads the elements at {point}",
                            "exit code 0 and a file", f"exit code {done.returncode}: {done.stderr[-300:]!r}")
        with open(out, "rb") as rows:
            return rows.read().decode("utf-8")

    def expected_at(self, name):
        """Points at a drawn control: the reader's rows there above the fixture's window row."""
        point = self.drawn.centre(name)
        shared.move_pointer(*point)
        return self.read_elements(point) + self.drawn.window_row()

    def press(self, *keys):
        shared.focus(self.hovermark_window)
        for name in keys:
            shared.key(name)
        # Let the key land before the next tick counts.
        time.sleep(3 * TICK)

    def timed_copy(self, not_before=0.0, command="ctrl+c"):
        """Ctrl+C (or the command given) once, not before the monotonic time given: the seconds until the
        clipboard changed (at most COPY_WAIT_SECONDS), and what it held, read exactly inside Wine (None when it
        did not change)."""
        if not self.clipboard.put(shared.SENTINEL):
            self.report.require(False, "the reader puts the sentinel on the clipboard")
        sentinel = shared.SENTINEL.encode()
        shared.poll(xclip_text, lambda text: text == sentinel, 2.0, 0.02)
        shared.focus(self.hovermark_window)
        time.sleep(max(0.0, not_before - time.monotonic()))
        asked = time.monotonic()
        shared.key(command)
        changed = shared.poll(xclip_text, lambda text: text not in (None, sentinel), COPY_WAIT_SECONDS, 0.02)
        answered = time.monotonic() - asked
        if changed in (None, sentinel):
            return answered, None
        return answered, self.clipboard.read()

    def frame_problems_on(self, name, baseline, timeout=3.0):
        rect = self.drawn.rect(name)
        return self.shot_until(lambda shot: shared.element_frame_problems(shot, rect, 2, baseline), timeout)

    def no_frame_around(self, name):
        rect = shared.inset(self.drawn.rect(name), -1)

        def problems_of(shot):
            framed = [p for p in shared.ring_pixels(rect, 6) if shot.pixel(*p) in shared.FRAME_COLOURS]
            return [f"frame colours: {shared.describe_pixels(shot, framed)}"] if framed else []

        return self.shot_until(problems_of)

    def start_fixture(self, desktop=None):
        self.drawn = DrawnControls(self.processes, self.accessible_exe, self.work_dir, desktop=desktop)
        info = shared.poll(lambda: self.drawn.read_info().get("calls"), timeout=START_TIMEOUT)
        self.report.require(info, "the drawn-controls fixture writes its window and elements", self.drawn.info_path,
                            self.drawn.info or "no info file")

    # --- groups ---

    def fixture_and_reader(self):
        report = self.report
        for exe in (self.accessible_exe, self.reader_exe, self.texts_exe, self.hovermark_exe):
            report.require(os.path.isfile(exe), f"{os.path.basename(exe)} is built", exe, "missing")
        self.start_fixture()
        drawn = self.drawn
        report.check(drawn.info["window_class"] == "HovermarkDrawnControls" and drawn.info["plain_class"] == "Button",
                     "the fixture's window and its plain button have their classes",
                     "HovermarkDrawnControls, Button", (drawn.info["window_class"], drawn.info["plain_class"]))

        def drawn_colours():
            shot = shared.Screenshot.grab()
            seen = {name: shot.pixel(*drawn.lower_right(name)) for name in COLOURS}
            return shot, seen, seen == COLOURS

        shot, seen, drawn_right = shared.poll(drawn_colours, lambda result: result[2], 10)
        report.check(drawn_right, "each drawn control shows its own colour where the fixture says it is", COLOURS,
                     seen, None if drawn_right else shot)

        # The reader against what the fixture says it describes: the names, the depth, the order.
        def names(rows):
            return [line.split("\t")[2] for line in rows.split("\r\n") if line]

        button_rows = self.read_elements(drawn.centre("button"))
        report.check(names(button_rows) == [drawn.info["button_name"].strip(" "), "Tools", "Panel"],
                     "the reader over the drawn button: button, toolbar, panel, the names trimmed",
                     ["Grüße — Привет", "Tools", "Panel"], button_rows)
        roles = [line.split("\t")[0] for line in button_rows.split("\r\n") if line]
        report.check(len(set(roles)) == 3 and all(roles) and all(line.split("\t")[1] == "" for line in
                                                                 button_rows.split("\r\n") if line),
                     "each of the button's rows has a role of its own and an empty second column", "3 roles", roles)
        for name, expected in (("item1", ["Apple", "Fruits"]), ("item2", ["Banana", "Fruits"]), ("list", ["Fruits"]),
                               ("panel", ["Panel"])):
            rows = self.read_elements(drawn.lower_right(name))
            report.check(names(rows) == expected, f"the reader near the {name}'s corner: {', '.join(expected)}",
                         expected, rows)
        plain = self.read_elements(drawn.centre("plain"), drawn.info["plain_hwnd"])
        report.check(plain == "", "the reader over the plain button: nothing inside it", "", plain)
        # Right of the list and below the plain button: the window's own empty space.
        right, bottom = drawn.rect("plain")[2], drawn.rect("list")[3]
        empty = self.read_elements((right - 10, bottom - 10))
        report.check(empty == "", "the reader over the fixture's empty space: nothing deeper than the window", "",
                     empty)

        shared.move_pointer(*drawn.centre("button"))
        # The drawn button as it looks without Hovermark: the frame check compares against it.
        self.baseline = shared.Screenshot.grab()

    def launch(self):
        self.hovermark = self.processes.start("hovermark-look-inside", self.hovermark_exe)
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(shared.HOVERMARK_TITLE)),
                              timeout=START_TIMEOUT)
        self.report.require(len(windows) == 1, f"one visible window titled {shared.HOVERMARK_TITLE!r}", 1,
                            len(windows))
        self.hovermark_window = windows[0]
        self.check_bar_count(4, "the frame is four visible bar windows")

    def alt_f4(self):
        """Alt+F4: the seconds until the process has ended (None when it runs on after 10 s), and its exit code."""
        shared.focus(self.hovermark_window)
        shared.key("alt+F4")
        asked = time.monotonic()
        try:
            code = self.hovermark.wait(timeout=10)
        except subprocess.TimeoutExpired:
            return None, None
        return time.monotonic() - asked, code

    def start(self):
        report = self.report
        report.require(self.baseline is not None, "the fixture checks got as far as the baseline shot")
        self.launch()
        # What Alt+F4 takes without the mode, over the fixture that answers: the floor of the bound below.
        shared.move_pointer(*self.drawn.centre("item1"))
        time.sleep(3 * TICK)
        self.exit_floor, code = self.alt_f4()
        report.require(self.exit_floor is not None and code == 0, "without the mode Alt+F4 ends the program",
                       "exit code 0 within 10 s", code)
        print(f"       (it took {self.exit_floor:.2f} s)", flush=True)
        self.launch()

    def mode_off(self):
        drawn = self.drawn
        shared.move_pointer(*drawn.centre("button"))
        self.check_clipboard(drawn.window_row(), "mode off: over the drawn button only the window is listed")
        shared.move_pointer(*drawn.centre("plain"))
        self.check_clipboard(drawn.plain_row() + drawn.window_row(),
                             "mode off: over the plain button, the button and its window")

    def mode_on(self):
        drawn = self.drawn
        expected = self.expected_at("button")
        self.press("F7")
        self.report.require(self.check_clipboard(expected, "F7, over the drawn button: the button, toolbar and panel "
                                                 "rows, then the window row"), "the mode is on")
        expected = self.expected_at("item1")
        self.check_clipboard(expected, "over a list item: the item's row and the list's, then the window row")
        point = drawn.centre("plain")
        shared.move_pointer(*point)
        inside = self.read_elements(point, drawn.info["plain_hwnd"])
        self.check_clipboard(drawn.plain_row() + drawn.window_row(), "over the plain button: the window rows alone, "
                             "as with the mode off")
        self.report.check(inside == "", "the reader agrees: nothing inside the plain button", "", inside)
        expected = self.expected_at("item3")
        self.check_clipboard(expected, "over the third list item: its rows")

    def frame_rect(self):
        """Where the frame's four bars lie together (left, top, right, bottom), or None without four."""
        bars = [shared.geometry(bar) for bar in shared.visible_windows(shared.exact(shared.BAR_TITLE))]
        if len(bars) != 4:
            return None
        return (min(x for x, _, _, _ in bars), min(y for _, y, _, _ in bars),
                max(x + width for x, _, width, _ in bars), max(y + height for _, y, _, height in bars))

    def element_locators(self):
        report = self.report
        drawn = self.drawn
        for name in ("button", "toolbar", "panel", "list", "item1", "item2", "item3"):
            point = drawn.centre(name) if name in ("button", "item1", "item2", "item3") else drawn.lower_right(name)
            shared.move_pointer(*point)
            expected = self.read_elements(point) + drawn.window_row()
            if not self.check_clipboard(expected, f"{name}: the element's rows"):
                continue
            rect = drawn.rect(name)
            frame = shared.poll(self.frame_rect, lambda found: found == rect, 3.0)
            report.check(frame == rect, f"{name}: the frame lies on the element", rect, frame)
            locator = self.copy_locator()
            report.require(locator is not None, f"{name}: Ctrl+L puts a locator on the clipboard", "a locator",
                           "the clipboard unchanged")
            print(f"       (locator: {shared.show_bytes(locator)})", flush=True)
            report.check(locator.startswith(b'Desktop(backend="uia").window('),
                         f"{name}: the locator is one pywinauto uia expression", 'Desktop(backend="uia").window(...',
                         shared.show_bytes(locator))
            code, found = self.resolver.resolve(locator)
            seen = tuple(int(value) for value in found.get("rect", "").split()) or None
            report.check(code == 0 and seen == rect == frame,
                         f"{name}: pywinauto's rules find exactly the element the frame lies on", f"rect={rect}",
                         f"exit {code}: {found}")
            shot, problems = self.shot_until(lambda shot: shared.hint_problems(shot, self.list_rect(), True),
                                             shared.LOCATOR_TIMEOUT)
            report.check(not problems, f"{name}: the check's grey line shows below the rows", "grey text", problems,
                         shot if problems else None)
            problems = shared.finding_problems(shot, self.list_rect(), found)
            report.check(not problems, f"{name}: the grey line's count is the resolver's", found.get("step_matches"),
                         problems, shot if problems else None)
        # A window that no element stands for, with the mode on: a win32 locator of that window.
        point = drawn.centre("plain")
        shared.move_pointer(*point)
        if self.check_clipboard(drawn.plain_row() + drawn.window_row(), "plain: the window rows alone"):
            locator = self.copy_locator() or b""
            code, found = self.resolver.resolve(locator)
            report.check(locator.startswith(b'Desktop(backend="win32")') and code == 0 and
                         found.get("hwnd") == drawn.info["plain_hwnd"],
                         "plain: a win32 locator that finds the plain button", f"hwnd={drawn.info['plain_hwnd']}",
                         f"{shared.show_bytes(locator)}: exit {code}: {found}")

    def locator_while_hung(self):
        report = self.report
        drawn = self.drawn
        expected = self.expected_at("button")
        report.require(self.check_clipboard(expected, "before the hang: the button's rows"), "the button's rows")
        drawn.command("hang 4")
        time.sleep(0.3)
        answered, locator = self.timed_copy(command="ctrl+l")
        print(f"       (Ctrl+L answered in {answered:.2f} s: {shared.show_bytes(locator)})", flush=True)
        report.check(locator is not None and locator.startswith(b'Desktop(backend="uia")') and
                     answered < HUNG_LOCATOR_SECONDS,
                     f"Ctrl+L over the hung fixture's button puts its uia locator on the clipboard within "
                     f"{HUNG_LOCATOR_SECONDS} s", f"< {HUNG_LOCATOR_SECONDS} s",
                     f"{answered:.2f} s: {shared.show_bytes(locator)}")
        width = shared.last_grey_line_width(shared.Screenshot.grab(), self.list_rect())
        report.check(abs(width - shared.LIST_CHARACTER_WIDTH * len(NOT_CHECKED)) <= shared.LIST_CHARACTER_WIDTH,
                     "its grey line says it was not checked", f"{NOT_CHECKED!r}, "
                     f"{shared.LIST_CHARACTER_WIDTH * len(NOT_CHECKED)} pixels wide", f"{width} pixels wide")
        self.check_clipboard(expected, "once the fixture runs again, the button's element rows come back",
                             timeout=BACK_TIMEOUT)

    def frame(self):
        shared.move_pointer(*self.drawn.centre("button"))
        shot, problems = self.frame_problems_on("button", self.baseline)
        self.report.check(not problems, "the frame lies on the drawn button's location",
                          f"a 2-pixel red/golden ring on {self.drawn.rect('button')}", "; ".join(problems),
                          shot if problems else None)
        self.check_bar_count(4, "the frame is four visible bar windows")

    def copies_for(self, seconds, step, settle):
        """Ctrl+C again and again for `seconds`, step(turn) before each and the key at least `settle` seconds
        after it: for each copy, the seconds from the step's end to the key, the seconds until the clipboard
        changed, and what it held."""
        copies, turn = [], 0
        until = time.monotonic() + seconds
        while time.monotonic() < until:
            step(turn)
            stepped = time.monotonic()
            turn += 1
            answered, data = self.timed_copy(stepped + settle)
            copies.append((time.monotonic() - answered - stepped, answered, data))
        return copies

    def hung_fixture(self):
        report = self.report
        drawn = self.drawn
        names = ("button", "item1", "item3")
        expected = {name: self.expected_at(name) for name in names}
        shared.move_pointer(*drawn.centre("button"))
        report.require(self.check_clipboard(expected["button"], "before the hang: the button's rows"),
                       "the rows before the hang")
        drawn.command(f"hang {HANG_SECONDS}")
        hung_at = time.monotonic()
        # The fixture takes the command within its 50 ms timer; from then on every call into it waits.
        time.sleep(0.3)
        # The pointer goes from one drawn control to another, so that every tick would ask the fixture again.
        copies = self.copies_for(HANG_SECONDS - 1.5, lambda turn: shared.move_pointer(*drawn.centre(names[turn % 3])),
                                 SETTLE_SECONDS)
        slowest = max(answered for _, answered, _ in copies)
        report.check(slowest < HUNG_ANSWER_SECONDS, f"while the fixture hangs, each of {len(copies)} Ctrl+C answers "
                     "within 1 s", f"< {HUNG_ANSWER_SECONDS} s", f"{slowest:.2f} s at the slowest")
        print(f"       (the slowest answered in {slowest:.2f} s)", flush=True)
        # Each copy lists what lies under the pointer as far as Hovermark can know it: that element's rows, or
        # the window as without the mode; never another element's rows, once a tick has seen the move.
        wrong = [(names[turn % 3], f"{since:.2f} s after the move", shared.show_bytes(data))
                 for turn, (since, _, data) in enumerate(copies)
                 if data is None or data.decode() not in (expected[names[turn % 3]], drawn.window_row())]
        # A hung window keeps its title: the text the system holds for it stands in for the one it cannot give.
        report.check(not wrong, "while the fixture hangs, every copy is the pointed element's rows or the window "
                     "rows alone, the title kept", f"for each of {names}: its rows, or "
                     f"{shared.show_bytes(drawn.window_row().encode())}", wrong[:3])
        kinds = [f"{'window row' if data == drawn.window_row().encode() else 'element rows'} "
                 f"{since:.2f} s after a move" for since, _, data in copies if data is not None]
        print(f"       (copies while hung, in order: {', '.join(kinds)})", flush=True)
        time.sleep(max(0.0, hung_at + HANG_SECONDS - time.monotonic()))
        shared.move_pointer(*drawn.centre("button"))
        self.check_clipboard(expected["button"], "once the fixture runs again, the button's element rows come back",
                             timeout=BACK_TIMEOUT)

    def removed_while_paused(self, name, command):
        report = self.report
        drawn = self.drawn
        expected = self.expected_at(name)
        report.require(self.check_clipboard(expected, f"before the {name} goes: its rows"), f"the {name}'s rows")
        self.press("p")
        shared.move_pointer(*drawn.centre("panel" if name != "button" else "item1"))
        time.sleep(3 * TICK)
        self.check_clipboard(expected, f"paused: the list stays on the {name}", timeout=1.0)
        drawn.command(command)
        removed = shared.poll(lambda: drawn.read_info().get(f"{name}_removed"), timeout=10)
        report.require(removed, f"the fixture removes the {name}", f"{name}_removed=1", drawn.info)
        self.check_clipboard(expected + shared.DESTROYED_LINES, f"paused, the {name} removed: Destroyed! once")
        time.sleep(10 * TICK)
        self.check_clipboard(expected + shared.DESTROYED_LINES, "ten ticks later the rows are not added again",
                             timeout=1.0)
        if name == "button":
            shot, problems = self.no_frame_around(name)
            report.check(not problems, "the frame is hidden once the button is gone", "no frame colour there",
                         "; ".join(problems), shot if problems else None)
        self.press("p")

    def help_box(self):
        report = self.report
        self.press("F1")
        boxes = shared.poll(lambda: shared.visible_windows(shared.exact(HELP_TITLE)), timeout=5)
        report.require(len(boxes) == 1, f"F1 shows one window titled {HELP_TITLE!r}", 1, len(boxes))
        done = subprocess.run(["wine", self.texts_exe, HELP_TITLE], capture_output=True, timeout=30)
        text = done.stdout.decode("utf-8", "replace")
        report.check(LOOK_INSIDE_HELP in text.replace("\r\n", "\n").split("\n"), "the help box has the F7 line",
                     LOOK_INSIDE_HELP, text)
        shared.focus(boxes[0])
        shared.key("Return")
        left = shared.poll(lambda: shared.visible_windows(shared.exact(HELP_TITLE)), lambda found: not found, 5)
        report.check(not left, "Enter closes the help box", "no visible help box", f"{len(left)} visible")

    def switch_off(self):
        drawn = self.drawn
        self.check_clipboard(self.expected_at("item1"), "before F7 again: the item's rows")
        self.press("F7")
        self.check_clipboard(drawn.window_row(), "F7 again: over the list item the window row alone")
        shared.move_pointer(*drawn.centre("toolbar"))
        self.check_clipboard(drawn.window_row(), "F7 again: over the toolbar the window row alone")

    def exit_while_hung(self):
        report = self.report
        drawn = self.drawn
        expected = self.expected_at("item1")
        self.press("F7")
        report.require(self.check_clipboard(expected, "F7 on again: the item's rows"), "the mode is on")
        drawn.command(f"hang {HANG_SECONDS}")
        time.sleep(0.3)
        # A new element under the pointer: Hovermark asks the hung fixture.
        shared.move_pointer(*drawn.centre("item3"))
        time.sleep(5 * TICK)
        took, code = self.alt_f4()
        if took is not None:
            print(f"       (it took {took:.2f} s; without the mode {self.exit_floor:.2f} s)", flush=True)
        bound = self.exit_floor + EXIT_MARGIN_SECONDS
        report.check(took is not None and took < bound, "Alt+F4 with the mode on ends the program while the fixture "
                     f"hangs, within {EXIT_MARGIN_SECONDS:.0f} s of what it takes without the mode",
                     f"< {bound:.2f} s", f"{took:.2f} s" if took is not None else "still running after 10 s")
        report.check(code in (None, 0), "after Alt+F4 the exit code is 0", 0, code)
        report.check(not shared.visible_windows(shared.exact(shared.HOVERMARK_TITLE)),
                     "after Alt+F4 the main window is gone")

    def fresh_fixture(self):
        """The slow and hung applications' groups start from a fresh fixture (the button is back) and a fresh
        Hovermark with the mode on."""
        report = self.report
        if self.drawn.process.poll() is None:
            self.drawn.process.kill()
            self.drawn.process.wait(timeout=10)
        self.start_fixture()
        self.launch()
        expected = self.expected_at("button")
        self.press("F7")
        report.require(self.check_clipboard(expected, "a fresh fixture, F7: the drawn button's rows"), "the mode is on")

    def slow_application(self, command, milliseconds, what):
        """The fixture answers late (command: delay-calls or delay-messages): at rest its rows are the reader's;
        moving between elements of the window, every copy holds element rows, and every Ctrl+C is answered
        promptly."""
        report = self.report
        drawn = self.drawn
        for off in ("delay-calls 0", "delay-messages 0"):
            report.require(drawn.command_taken(off), f"the fixture takes {off!r}")
        # Read while the fixture answers at once: a reader beside Hovermark would make its calls wait in line.
        expected = {name: self.expected_at(name) for name in ("item1", "button")}
        report.require(self.check_clipboard(expected["button"], f"{what}: before, the drawn button's rows"),
                       "the button's rows")
        report.require(drawn.command_taken(f"{command} {milliseconds}"), f"the fixture takes '{command} "
                       f"{milliseconds}'")
        started = time.monotonic()
        answers = []

        def rested_copy(name):
            answered, data = self.timed_copy(time.monotonic() + SLOW_REST_SECONDS)
            answers.append(answered)
            report.check(data == expected[name].encode(), f"{what}: after {SLOW_REST_SECONDS:.0f} s of rest on the "
                         f"{'drawn button' if name == 'button' else 'list item'}, its rows as the reader reads them",
                         shared.show_bytes(expected[name].encode()), shared.show_bytes(data))

        rested_copy("button")
        centre = drawn.centre("button")
        # A new window: its window rows at once, its elements when they come.
        shared.move_pointer(*OUTSIDE)
        time.sleep(1.0)
        shared.move_pointer(*centre)
        entered = time.monotonic()
        answered, first = self.timed_copy(entered + SETTLE_SECONDS)
        answers.append(answered)
        later = first
        while later != expected["button"].encode() and time.monotonic() - entered < SLOW_ENTRY_SECONDS:
            answered, later = self.timed_copy()
            answers.append(answered)
        took = time.monotonic() - entered
        report.check(first in (drawn.window_row().encode(), expected["button"].encode()) and
                     later == expected["button"].encode(), f"{what}: from outside onto the drawn button, the window "
                     f"row at once, the button's rows within {SLOW_ENTRY_SECONDS:.0f} s",
                     f"first {shared.show_bytes(drawn.window_row().encode())} (or the button's rows), then "
                     f"{shared.show_bytes(expected['button'].encode())}",
                     f"first {shared.show_bytes(first)}, after {took:.2f} s {shared.show_bytes(later)}")
        print(f"       (from outside: the button's rows after {took:.2f} s)", flush=True)
        steps = [("item1", drawn.centre("item1")), ("button", centre)]
        steps += [("button", (centre[0] + dx, centre[1] + dy)) for dx, dy in NUDGES]
        steps += [("button", centre), ("item1", drawn.centre("item1")), ("item1", drawn.centre("item1")),
                  ("button", centre), ("item1", drawn.centre("item1"))]
        copies = []
        for name, point in steps:
            shared.move_pointer(*point)
            answered, data = self.timed_copy(time.monotonic() + SETTLE_SECONDS)
            answers.append(answered)
            copies.append((name, data))
        rows_of = {rows.encode(): name for name, rows in expected.items()}
        window_alone = drawn.window_row().encode()
        kinds = [rows_of.get(data, "the window row alone" if data == window_alone else "other") for _, data in copies]
        print(f"       (copies while moving, pointer at / list showing: "
              f"{', '.join(f'{name} / {kind}' for (name, _), kind in zip(steps, kinds))})", flush=True)
        wrong = [f"over the {name}: {shared.show_bytes(data)}" for (name, data), kind in zip(copies, kinds)
                 if kind not in expected]
        report.check(not wrong, f"{what}: moving between the window's elements, each of {len(copies)} copies holds "
                     "the button's or the list item's rows, never the window rows alone", "element rows",
                     wrong[:3])
        rested_copy("item1")
        slowest = max(answers)
        report.check(slowest < SLOW_ANSWER_SECONDS, f"{what}: each of {len(answers)} Ctrl+C answers within "
                     f"{SLOW_ANSWER_SECONDS} s", f"< {SLOW_ANSWER_SECONDS} s", f"{slowest:.2f} s at the slowest")
        print(f"       (the slowest answered in {slowest:.2f} s; the group took {time.monotonic() - started:.0f} s)",
              flush=True)
        report.require(drawn.command_taken(f"{command} 0"), f"the fixture takes '{command} 0'")
        shared.move_pointer(*centre)

    def hung_copies(self):
        """Four copies of the fixture hang and the pointer visits each: each keeps its title in its window row,
        and the prompt fixture's elements are read as soon as the pointer reaches it."""
        report = self.report
        drawn = self.drawn
        expected = self.expected_at("button")
        report.require(self.check_clipboard(expected, "before the copies: the prompt fixture's button rows"),
                       "the prompt fixture's rows")
        copies = []
        for number in range(1, HUNG_COPIES + 1):
            left = (number - 1) * HUNG_COPY_WIDTH
            copies.append(DrawnControls(self.processes, self.accessible_exe, self.work_dir,
                                        name=f"accessible-fixture-copy{number}", title=f"Drawn Controls {number}",
                                        rect=(left, 0, left + HUNG_COPY_WIDTH, HUNG_COPY_HEIGHT)))
        try:
            started = [shared.poll(lambda: copy.read_info().get("calls"), timeout=START_TIMEOUT) for copy in copies]
            report.require(all(started), f"{HUNG_COPIES} copies of the fixture write their windows",
                           "an info file each", [copy.info_path for copy, up in zip(copies, started) if not up])

            def drawn_buttons():
                shot = shared.Screenshot.grab()
                return [shot.pixel(*copy.centre("button")) for copy in copies]

            seen = shared.poll(drawn_buttons, lambda colours: all(c == COLOURS["button"] for c in colours), 10)
            report.require(all(c == COLOURS["button"] for c in seen), "each copy shows its drawn button",
                           COLOURS["button"], seen)
            for copy in copies:
                copy.command(f"hang {HUNG_COPIES_SECONDS}")
            taken = shared.poll(lambda: [os.path.exists(copy.command_path) for copy in copies],
                                lambda waiting: not any(waiting), 5.0, 0.02)
            report.require(not any(taken), "each copy takes the hang command")
            hung_at = time.monotonic()
            titled = []
            for copy in copies:
                shared.move_pointer(*copy.centre("button"))
                seen = self.copy_until(copy.window_row(), timeout=3.0)
                if seen != copy.window_row().encode():
                    titled.append(f"over {copy.title!r}: {shared.show_bytes(seen)}")
            report.check(not titled, f"over each of the {HUNG_COPIES} hung copies, the copied rows are its window "
                         "row with its full title", "each copy's window row, e.g. " +
                         shared.show_bytes(copies[0].window_row().encode()), titled)
            shared.move_pointer(*drawn.centre("button"))
            reached = time.monotonic()
            shown = None
            while time.monotonic() - reached < PROMPT_AMONG_HUNG_SECONDS:
                _, shown = self.timed_copy()
                if shown == expected.encode():
                    break
            took = time.monotonic() - reached
            report.check(shown == expected.encode(), f"{HUNG_COPIES} copies hung and each visited, over the prompt "
                         f"fixture its element rows within {PROMPT_AMONG_HUNG_SECONDS:.0f} s",
                         shared.show_bytes(expected.encode()), f"{shared.show_bytes(shown)} after {took:.2f} s")
            print(f"       (the prompt fixture's rows after {took:.2f} s; the copies hung for "
                  f"{time.monotonic() - hung_at:.1f} s of {HUNG_COPIES_SECONDS} s)", flush=True)
        finally:
            for copy in copies:
                if copy.process.poll() is None:
                    copy.process.kill()
                    copy.process.wait(timeout=10)

    # For the README: the same scene on a Wine virtual desktop, with the title bars a user sees on Windows.
    def screenshots_with_title_bars(self):
        report = self.report
        directory = self.options.save_screenshots
        self.processes.stop_all()
        self.start_fixture(desktop=DOCS_DESKTOP)
        drawn = self.drawn
        self.hovermark = self.processes.start("hovermark-look-inside-desktop", self.hovermark_exe,
                                              desktop=DOCS_DESKTOP)
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(shared.HOVERMARK_TITLE)),
                              timeout=START_TIMEOUT)
        report.require(windows, "Hovermark's window is found on the virtual desktop")
        self.hovermark_window = windows[0]
        expected = self.expected_at("button")
        self.press("F7")
        report.require(self.check_clipboard(expected, "on the virtual desktop F7 lists the drawn button's rows"),
                       "the mode is on on the virtual desktop")
        button = drawn.rect("button")

        def framed():
            shot = shared.Screenshot.grab()
            return shot, all(shot.pixel(x, y) in shared.FRAME_COLOURS for x, y in shared.ring_pixels(button, 2))

        shot, on_button = shared.poll(framed, lambda result: result[1], 10)
        report.check(on_button, "on the virtual desktop the frame lies on the drawn button",
                     shot=None if on_button else shot)
        # On a virtual desktop an X window's place says nothing of the Win32 window's; its size does, and
        # Hovermark's window is centred on the screen.
        _, _, width, height = shared.geometry(self.hovermark_window)
        left, top = (shared.SCREEN_SIZE[0] - width) // 2, (shared.SCREEN_SIZE[1] - height) // 2
        window = drawn.rect("window")
        margin = 12
        shot.crop(min(left, window[0]) - margin, top - margin, max(left + width, window[2]) + margin,
                  window[3] + margin).save_png(os.path.join(directory, "windows-look-inside-frame.png"))
        self.check_clipboard(self.expected_at("item3"), "on the virtual desktop the list item's rows")
        time.sleep(3 * TICK)
        shot = shared.Screenshot.grab()
        shot.crop(left - margin, top - margin, left + width + margin, top + height + margin).save_png(
            os.path.join(directory, "windows-look-inside-list.png"))
        print(f"  saved windows-look-inside-frame.png and windows-look-inside-list.png in {directory}", flush=True)

    def run(self):
        self.group("look inside: the drawn-controls fixture and the reader", self.fixture_and_reader,
                   needs_hovermark=False)
        self.group("look inside: start", self.start, needs_hovermark=False)
        self.group("look inside: mode off", self.mode_off)
        self.group("look inside: F7, the element rows", self.mode_on)
        self.group("look inside: Ctrl+L, each element's locator finds it", self.element_locators)
        self.group("look inside: Ctrl+L while the fixture hangs", self.locator_while_hung)
        self.group("look inside: the frame on a drawn control", self.frame)
        self.group("look inside: the fixture hangs", self.hung_fixture)
        self.group("look inside: the drawn button removed while paused",
                   lambda: self.removed_while_paused("button", "remove-button"))
        self.group("look inside: a list item removed while paused",
                   lambda: self.removed_while_paused("item2", "remove-item"))
        self.group("look inside: help", self.help_box)
        self.group("look inside: F7 again", self.switch_off)
        self.group("look inside: Alt+F4 while the fixture hangs", self.exit_while_hung)
        self.group("look inside: a fresh fixture and Hovermark for the slow applications", self.fresh_fixture,
                   needs_hovermark=False)
        for milliseconds in SLOW_CALLS_MILLISECONDS:
            what = f"calls answered after {milliseconds} ms"
            self.group(f"look inside: {what}",
                       lambda ms=milliseconds, text=what: self.slow_application("delay-calls", ms, text))
        what = f"the message loop {SLOW_MESSAGES_MILLISECONDS} ms late"
        self.group(f"look inside: {what}",
                   lambda: self.slow_application("delay-messages", SLOW_MESSAGES_MILLISECONDS,
                                                 f"the message loop {SLOW_MESSAGES_MILLISECONDS} ms late"))
        self.group("look inside: four hung copies of the fixture and a prompt one", self.hung_copies)
        if self.options.save_screenshots:
            self.group("look inside: screenshots with title bars", self.screenshots_with_title_bars,
                       needs_hovermark=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/windows", help="where hovermark.exe and tests/e2e/ are")
    parser.add_argument("--work-dir", default="build/e2e", help="for the fixture's files, logs and failure shots")
    parser.add_argument("--save-screenshots", metavar="DIR", help="save the README's screenshots to DIR")
    options = parser.parse_args()
    os.makedirs(options.work_dir, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        sys.exit("DISPLAY is not set: scripts/e2e.sh starts the virtual display")
    run = LookInsideRun(options)
    started = time.monotonic()
    try:
        run.run()
    finally:
        run.processes.stop_all()
    return run.report.finish(started)


if __name__ == "__main__":
    sys.exit(main())
