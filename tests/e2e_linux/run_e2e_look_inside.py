#!/usr/bin/python3
"""The end-to-end proof of looking inside windows: the real build/linux/hovermark under openbox on a virtual X
display, with a session bus and an accessibility bus of this run's own, beside applications that draw their
controls inside one X window (GTK 3, GTK 4, Qt 6 Widgets) and one that describes nothing (an X application).

It drives Hovermark with the real pointer and keys (xdotool) and checks what a user gets: the clipboard's exact
bytes (xclip) against an independent reading of the elements (expected_elements.py, through pyatspi), the frame
on an element's pixels (root screenshots), and the accessibility bus's IsEnabled before, during and after. The
Ctrl+L groups run each copied locator through dogtail (run_dogtail_locator.py), which must find the element
Hovermark framed, and read the grey line below the rows back from the screen (tesseract). The last groups stop,
kill and restart the accessibility bus's own processes, as a desktop session may.

scripts/e2e_linux.sh starts the display and the buses and builds the program, then runs this file.
"""

import argparse
import ast
import json
import os
import re
import select
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import run_e2e as shared  # noqa: E402
import run_e2e_linux as linux  # noqa: E402

FIXTURES = os.path.join(HERE, "..", "atspi")
PYTHON = "/usr/bin/python3"
TICK = shared.TICK
START_TIMEOUT = 20.0
# Where each fixture's window goes: clear of Hovermark's centred window and of each other. The groups' own
# applications take the lower right, one at a time.
PLACES = {"gtk3": (20, 20), "gtk4": (560, 20), "qt6": (20, 690)}
PLACES.update(dict.fromkeys(("gtk3-deep", "qt6-deep", "gtk4-header", "qt6-early", "qt6-paused", "gtk3-lower",
                             "slow-tree", "locator-duplicates", "locator-hostile"),
                            (560, 690)))
# Answering within a second while an application under the pointer hangs.
HUNG_ANSWER_SECONDS = 1.0
# How long one Ctrl+C is waited for, so that an answer later than a second is still measured.
COPY_WAIT_SECONDS = 5.0
# An application that did not answer is left alone this long, then asked again.
SKIP_SECONDS = 5.0
# The deep window's button lies inside this many boxes; after this long at rest its rows must be complete.
DEEP_LEVELS = 200
DEEP_REST_SECONDS = 1.0
# A slow application: stopped this long of every period, so that it answers every call late, yet within the
# 250 ms a call may wait; the pointer goes from one of its elements to another for SLOW_SECONDS.
SLOW_STOPPED_SECONDS = 0.18
SLOW_PERIOD_SECONDS = 0.21
SLOW_SECONDS = 6.0
# Then it rests this long on one element, the application still slow.
SLOW_REST_SECONDS = 4.0
# A slow tree of the run's own: a button twelve containers deep, every extents call answered in 190 ms; after this
# long at rest on it, its rows must be complete.
SLOW_TREE_REST_SECONDS = 6.0
# The browsers: each shows BROWSER_PAGE, in the lower right, clear of Hovermark and of the fixtures there while
# it runs, and is given this long to start and describe the page (a cold start on two busy cores is slow).
BROWSER_PAGE = os.path.join(HERE, "browser_page.html")
BROWSER_DOCUMENT = "Hovermark browser page"
BROWSER_PLACE = (560, 680)
BROWSER_SIZE = (700, 340)
BROWSER_START_SECONDS = 60.0
# A point where no window lies while the browsers run.
BARE_DESKTOP = (1270, 670)
# The page's controls, as expected_elements.py --controls names them.
PAGE_CONTROLS = ("button", "entry", "check", "link")
# The accessibility bus: its launcher, started as scripts/e2e_linux.sh starts it, and the well-known names on it
# and on the session bus.
BUS_LAUNCHER = ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"]
BUS_DAEMON = "org.freedesktop.DBus"
LAUNCHER_NAME = "org.a11y.Bus"
REGISTRY = "org.a11y.atspi.Registry"
# How long the accessibility bus's processes may take to end, and a new bus to come up.
BUS_SECONDS = 10.0
# How long the registry is stopped while the pointer goes over each of two windows, and the longest a call to it
# may wait: a copy that took longer waited for such a call.
REGISTRY_STOPPED_SECONDS = 3.0
CALL_SECONDS = 0.25
# Ctrl+L over elements: the locator copied is run through dogtail (run_dogtail_locator.py), which must find the
# very element Hovermark framed. The locator fixture's windows (duplicates, hostile names) take the lower right;
# gtk3-widget-factory the upper left, where it is clear of Hovermark's window for these of its elements (role,
# name, which of that role and name in the reader's order).
DOGTAIL_RUNNER = os.path.join(HERE, "run_dogtail_locator.py")
LOCATOR_FIXTURE = os.path.join(HERE, "locator_fixture.py")
DOGTAIL_SECONDS = 60.0
WIDGET_FACTORY = "gtk3-widget-factory"
WIDGET_FACTORY_TARGETS = (("radio button", "Page 2", 0), ("push button", "Sans Regular", 0),
                          ("toggle button", "togglebutton", 1), ("check box", "checkbutton", 0))
QT6_TARGETS = (("push button", "Press me", 0), ("text", "Greeting field", 0), ("check box", "Nested choice", 0))
# What the grey line's last line says, once read back from the screen (tesseract on the grey text, enlarged).
UNIQUE, INDEXED, NOT_CHECKED = "1 match", "matches: the index picks this one", \
    "not checked: the application did not answer in time"
OCR_SCALE = 4
OCR_DARKEST = 200
# The check of a locator has a second; Ctrl+L over a stopped application must answer within it.
CHECK_SECONDS = 1.0
# How long the grey line may take to show after Ctrl+L.
LOCATOR_WAIT_SECONDS = 5.0


def is_enabled():
    """The accessibility bus's org.a11y.Status IsEnabled, read on the session bus: True, False or None."""
    done = subprocess.run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.a11y.Bus", "/org/a11y/bus",
                           "org.freedesktop.DBus.Properties.Get", "string:org.a11y.Status", "string:IsEnabled"],
                          capture_output=True, text=True, timeout=10)
    if done.returncode != 0:
        return None
    return done.stdout.split()[-1] == "true"


def set_is_enabled(value):
    """Sets IsEnabled as a crashed program would have had to put it back."""
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                    "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                    f"variant:boolean:{'true' if value else 'false'}"], capture_output=True, timeout=10)


def bus_call(bus, method, *arguments):
    """One of the bus daemon's own methods on `bus` ("--session" or an address): the reply's strings and
    numbers, and the unique name the call's connection was given (None for both when it failed). A call is a
    connection of its own: it takes the bus's next unique name."""
    where = bus if bus == "--session" else f"--bus={bus}"
    done = subprocess.run(["dbus-send", where, "--print-reply", f"--dest={BUS_DAEMON}", "/org/freedesktop/DBus",
                           f"org.freedesktop.DBus.{method}", *arguments], capture_output=True, text=True, timeout=10)
    caller = re.search(r"destination=(\S+)", done.stdout)
    if done.returncode != 0 or caller is None:
        return None, None
    return re.findall(r'(?:string "([^"]*)"|uint32 (\d+))', done.stdout), caller.group(1)


def bus_pid(bus, name):
    """The process that owns `name` on `bus`, or None."""
    values, _ = bus_call(bus, "GetConnectionUnixProcessID", f"string:{name}")
    return int(values[0][1]) if values else None


def name_owner(bus, name):
    values, _ = bus_call(bus, "GetNameOwner", f"string:{name}")
    return values[0][0] if values else None


def unique_names(bus):
    """{pid: [unique names]} of the connections on `bus`."""
    values, _ = bus_call(bus, "ListNames")
    found = {}
    for name in (text for text, _ in values or [] if text.startswith(":")):
        pid = bus_pid(bus, name)
        if pid is not None:
            found.setdefault(pid, []).append(name)
    return found


def accessibility_bus():
    """The accessibility bus's address, as its launcher gives it on the session bus, or None. Where no launcher
    runs, the question starts one, as D-Bus starts any service nobody owns."""
    done = subprocess.run(["dbus-send", "--session", "--print-reply=literal", f"--dest={LAUNCHER_NAME}",
                           "/org/a11y/bus", "org.a11y.Bus.GetAddress"], capture_output=True, text=True, timeout=10)
    return (done.stdout.strip() or None) if done.returncode == 0 else None


def gone(pid):
    """Whether the process has ended: no longer there, or a zombie nobody has reaped yet."""
    try:
        with open(f"/proc/{pid}/stat", encoding="utf-8") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except FileNotFoundError:
        return True


def ended_how(process):
    code = process.poll()
    if code is None:
        return "still runs"
    return f"killed by {signal.Signals(-code).name}" if code < 0 else f"ended with exit code {code}"


def first_difference(expected, seen):
    """Where the copied report first differs from the expected one, line by line, in a few words."""
    if seen is None:
        return "no answer"
    wanted, got = expected.split(b"\r\n"), seen.split(b"\r\n")
    line = next((n for n, pair in enumerate(zip(wanted, got)) if pair[0] != pair[1]), min(len(wanted), len(got)))
    shown = [shared.show_bytes(lines[line]) if line < len(lines) else "(no line)" for lines in (wanted, got)]
    return f"{len(got) - 1} lines where {len(wanted) - 1} were expected; line {line + 1} is {shown[1]}, not {shown[0]}"


# The grey hint below the list's rows, a check shared with the native run's locator lines.
hint_problems = linux.hint_problems


class Application:
    """One of the fixture applications: started with its stdin kept open for commands, its first line of JSON
    read (pid, X window, controls' rectangles). name picks its place and log (the toolkit's name by default);
    arguments follow the place on its command line, environment is added to the run's own."""

    def __init__(self, processes, toolkit, name=None, arguments=(), environment=None, script=None):
        self.toolkit = toolkit
        self.name = name or toolkit
        x, y = PLACES[self.name]
        script = script or os.path.join(FIXTURES, f"{toolkit}_fixture.py")
        self.process = subprocess.Popen([PYTHON, script, str(x), str(y), *arguments],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=open(os.path.join(processes.work_dir, f"{self.name}.log"), "ab"),
                                        text=True, env=dict(os.environ, **(environment or {})))
        processes.started.append(self.process)
        ready = select.select([self.process.stdout], [], [], START_TIMEOUT)[0]
        line = self.process.stdout.readline() if ready else ""
        if not line:
            # Not a CheckFailed: that ends a group without counting a failure.
            raise RuntimeError(f"the {self.name} fixture said nothing; see {self.name}.log")
        self.info = json.loads(line)
        self.xid = self.info["xid"]

    def command(self, text):
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()

    def end(self):
        """Quits the application and waits until it has gone, its window with it."""
        if self.process.poll() is None:
            try:
                self.command("quit")
                self.process.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait(timeout=10)


class Browser:
    """A browser showing BROWSER_PAGE, started in a process group of its own so that its helper processes end
    with it. Once the page's controls are on the accessibility bus it has, as an Application has, `info` (pid,
    the rectangles of the controls) and `xid` (its top-level X window)."""

    def __init__(self, work_dir, name, argv):
        self.toolkit = self.name = name
        self.xid = None
        self.info = {"controls": {}}
        with open(os.path.join(work_dir, f"{name}.log"), "ab") as log:
            self.process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                            start_new_session=True)
        self.info["pid"] = self.process.pid

    def window(self):
        """The top-level X window that shows the page: the one whose _NET_WM_PID is the browser's."""
        found = shared.xdotool("search", "--onlyvisible", "--pid", str(self.process.pid), "--name",
                               "^" + BROWSER_DOCUMENT).stdout.split()
        return int(found[0]) if found else None

    def controls(self):
        """The page's controls as the independent reader finds them on the bus: {name: [x, y, w, h]}."""
        try:
            done = subprocess.run([PYTHON, os.path.join(HERE, "expected_elements.py"), "--controls",
                                   str(self.process.pid), BROWSER_DOCUMENT], capture_output=True, text=True,
                                  timeout=30)
        except subprocess.TimeoutExpired:
            return {}
        return json.loads(done.stdout)["controls"] if done.returncode == 0 else {}

    def stop(self):
        if self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGTERM)
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait(timeout=10)
            except ProcessLookupError:
                pass
        # Its helpers, should any outlive the browser itself.
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


class LookInsidePass(linux.Pass):
    def __init__(self, run):
        super().__init__(run, window_manager=True)
        self.apps = {}
        self.window_rows = {}
        self.browsers = []

    # --- helpers ---

    def place(self, app):
        """Moves the application's window where the run wants it (GTK 4 cannot place itself) and waits there."""
        x, y = BROWSER_PLACE if isinstance(app, Browser) else PLACES[app.name]
        frame = self.x.top_ancestor(app.xid)
        shared.xdotool("windowmove", "--sync", str(frame), str(x), str(y))
        shared.poll(lambda: self.x.rect(frame)[:2], lambda at: at == (x, y), 5.0)

    def window_rect(self, app):
        """left, top, width, height of the application's X window in root coordinates."""
        left, top, right, bottom = self.x.rect(app.xid)
        return left, top, right - left, bottom - top

    def content_rect(self, app):
        """left, top, width, height of what the application's top-level element stands for: its X window, or
        where GTK 4 says its window's widget lies in it (client-side decorations leave a margin around it)."""
        left, top, width, height = self.window_rect(app)
        if "content" not in app.info:
            return left, top, width, height
        x, y, width, height = app.info["content"]
        return left + x, top + y, width, height

    def control_centre(self, app, name):
        """The centre of a control, from the fixture's own report (GTK 4 reports it relative to its window)."""
        x, y, width, height = app.info["controls"][name]
        if app.toolkit == "gtk4":
            left, top, _, _ = self.window_rect(app)
            x, y = x + left, y + top
        return x + width // 2, y + height // 2

    def registered(self, app):
        """Whether the independent reader finds the application among the registry's."""
        done = subprocess.run([PYTHON, os.path.join(HERE, "expected_elements.py"), "--registered",
                               str(app.info["pid"])], capture_output=True, text=True, timeout=30)
        self.report.require(done.returncode == 0, "the independent reader lists the registry's applications",
                            "exit code 0", done.stderr.strip()[-400:])
        return json.loads(done.stdout)["registered"]

    def expected(self, app, point):
        """The independent reading at point: rows and the deepest element's rectangle."""
        done = subprocess.run([PYTHON, os.path.join(HERE, "expected_elements.py"), str(app.info["pid"]),
                               str(point[0]), str(point[1]), *map(str, self.content_rect(app))],
                              capture_output=True, text=True, timeout=30)
        self.report.require(done.returncode == 0, f"the independent reading of the {app.toolkit} elements",
                            "exit code 0", done.stderr.strip()[-400:])
        return json.loads(done.stdout)

    def window_row(self, app):
        """The window's own row, read from the X server: WM_CLASS as instance and class, the id, the title."""
        wm_class = (self.x.property(app.xid, "WM_CLASS") or b"").split(b"\0")
        class_name = b" ".join(part for part in wm_class if part).decode()
        title = (self.x.property(app.xid, "_NET_WM_NAME") or b"").decode().strip(" ")
        return f"{class_name}\t{app.xid}\t{title}\r\n"

    def pointer_window_rows(self):
        """The window rows at the pointer, read from the X server: the window under it, then its parents up to
        the application's top-level window (the one with WM_STATE)."""
        window = self.x.window_at_pointer()
        rows = []
        while window not in (None, self.x.root.id):
            wm_class = (self.x.property(window, "WM_CLASS") or b"").split(b"\0")
            class_name = b" ".join(part for part in wm_class if part).decode()
            title = (self.x.property(window, "_NET_WM_NAME") or self.x.property(window, "WM_NAME") or b"")
            rows.append(f"{class_name}\t{window}\t{title.decode().strip(' ')}\r\n")
            if self.x.property(window, "WM_STATE") is not None:
                break
            window = self.x.parent(window)
        return "".join(rows)

    @staticmethod
    def element_lines(rows):
        return "".join(f"{role}\t\t{name}\r\n" for role, name in rows)

    def point_at(self, app, name):
        point = self.control_centre(app, name)
        shared.move_pointer(*point)
        return point

    def check_elements(self, app, name, what, timeout=5.0):
        """Points at a control and checks the copied rows against the independent reading, waiting at most
        `timeout` for them."""
        point = self.point_at(app, name)
        reading = self.expected(app, point)
        self.report.check(reading["rows"], f"{app.toolkit}: the reader finds elements at the {name}",
                          "at least one row", reading)
        # A browser draws inside child windows of its own: the rows below the elements are the X chain.
        windows = self.pointer_window_rows() if isinstance(app, Browser) else self.window_row(app)
        expected = self.element_lines(reading["rows"]) + windows
        self.check_clipboard(expected, what, timeout)
        return reading

    def without_frame(self, app, name):
        """The independent reading at a control, and a shot of the control without the frame (hidden by F9
        meanwhile), for check_frame_on."""
        self.press("F9")
        point = self.point_at(app, name)
        time.sleep(3 * TICK)
        reading = self.expected(app, point)
        baseline = self.frame_gone(tuple(reading["rect"]))[0]
        self.press("F9")
        return reading, baseline

    def check_frame_on(self, rect, what, baseline):
        rect = tuple(rect)
        shot, problems = shared.Run.shot_until(
            lambda shot: shared.element_frame_problems(shot, rect, 2, baseline), 3.0)
        placed = sorted((w.x, w.y, w.width, w.height) for w in self.bars())
        if placed != linux.expected_bars(rect, 2):
            problems.append(f"bar windows at {placed}, expected {linux.expected_bars(rect, 2)}")
        self.report.check(not problems, what, f"a 2-pixel red/golden ring on {rect}", "; ".join(problems),
                          shot if problems else None)
        return shot

    def switch_mode(self, on, always=False):
        """F7 when the mode is not as wanted, or always; the accessibility bus's IsEnabled, which Hovermark sets
        while the mode is on, tells."""
        if always or is_enabled() is not on:
            self.press("F7")
        enabled = shared.poll(is_enabled, lambda value: value is on, 3.0)
        self.report.require(enabled is on, f"F7 switches the mode {'on' if on else 'off'}: IsEnabled is {on}", on,
                            enabled)

    def timed_copy(self):
        """Ctrl+C once: the seconds until the clipboard changed and was read (at most COPY_WAIT_SECONDS), and
        what it held (None when it did not change)."""
        sentinel = shared.SENTINEL.encode()
        if not self.clipboard.put(sentinel):
            self.report.require(False, "xclip takes the clipboard for the sentinel")
        self.focus(self.hovermark_window)
        asked = time.monotonic()
        shared.key("ctrl+c")
        seen = shared.poll(self.clipboard.read, lambda text: text not in (None, sentinel), COPY_WAIT_SECONDS, 0.02)
        return time.monotonic() - asked, None if seen in (None, sentinel) else seen

    def copies_for(self, seconds, step=lambda turn: None, times=None):
        """Ctrl+C again and again for `seconds`, step(turn) before each: the slowest answer's seconds and what
        each copy held; each answer's seconds are added to the list `times` when one is given."""
        slowest, seen, turn = 0.0, [], 0
        until = time.monotonic() + seconds
        while time.monotonic() < until:
            step(turn)
            turn += 1
            answered, data = self.timed_copy()
            if times is not None:
                times.append(answered)
            slowest = max(slowest, answered)
            seen.append(data)
        return slowest, seen

    def wait_for_window(self, row):
        """Ctrl+C until the rows end with the window's row, the pointer's window now (at most 5 s)."""
        shared.poll(lambda: self.timed_copy()[1], lambda data: (data or b"").endswith(row.encode()), 5.0, TICK)

    def press(self, *keys):
        self.focus(self.hovermark_window)
        for name in keys:
            shared.key(name)
        # Let the key land before the next tick counts.
        time.sleep(3 * TICK)

    # --- locators ---

    def framed_rect(self):
        """left, top, right, bottom of what Hovermark's frame lies on: its four bars' bounding box; None without."""
        bars = self.bars()
        if len(bars) != 4:
            return None
        return (min(w.x for w in bars), min(w.y for w in bars), max(w.x + w.width for w in bars),
                max(w.y + w.height for w in bars))

    def grey_text(self, shot):
        """The grey text below the list's rows as tesseract reads it, whitespace made single spaces: its darker
        pixels black on white (their lighter edges read "1" as "i"), enlarged OCR_SCALE times."""
        from PIL import Image

        left, top, right, bottom = self.list_rect()
        bottom -= linux.SCROLL_BAR_HEIGHT
        dark = [y for y in range(top, bottom) if any(max(shot.pixel(x, y)) < linux.DARK for x in range(left, right))]
        below = (max(dark) + 2) if dark else top
        crop = shot.crop(left + 2, below, right - 2, bottom)
        image = Image.frombytes("RGB", (crop.width, crop.height), crop.rgb)
        shades = bytes(0 if r == g == b and r < OCR_DARKEST else 255 for r, g, b in image.getdata())
        mask = Image.frombytes("L", image.size, shades)
        mask = mask.resize((crop.width * OCR_SCALE, crop.height * OCR_SCALE), Image.Resampling.LANCZOS)
        path = os.path.join(self.run.work_dir, "grey-text.png")
        mask.save(path)
        done = subprocess.run(["tesseract", path, "-", "--psm", "6"], capture_output=True, text=True, timeout=60)
        return " ".join(done.stdout.split())

    def timed_locator(self):
        """Ctrl+L once: the seconds until the clipboard changed (at most COPY_WAIT_SECONDS), and what it held."""
        sentinel = shared.SENTINEL.encode()
        if not self.clipboard.put(sentinel):
            self.report.require(False, "xclip takes the clipboard for the sentinel")
        self.focus(self.hovermark_window)
        asked = time.monotonic()
        shared.key("ctrl+l")
        seen = shared.poll(self.clipboard.read, lambda text: text not in (None, sentinel), COPY_WAIT_SECONDS, 0.02)
        return time.monotonic() - asked, None if seen in (None, sentinel) else seen

    def run_dogtail(self, locator):
        """What run_dogtail_locator.py finds for the locator: its JSON answer."""
        try:
            done = subprocess.run([PYTHON, DOGTAIL_RUNNER], input=locator, capture_output=True, text=True,
                                  timeout=DOGTAIL_SECONDS)
        except subprocess.TimeoutExpired:
            return {"found": False, "error": f"dogtail ran longer than {DOGTAIL_SECONDS:.0f} s"}
        lines = done.stdout.strip().splitlines()
        try:
            return json.loads(lines[-1])
        except (IndexError, json.JSONDecodeError):
            return {"found": False, "error": f"no answer; stderr: {done.stderr.strip()[-400:]}"}

    def locator_check(self, label, point, rect, role, name, counted=None, keep_as=None):
        """Points at an element whose extents are rect (left, top, right, bottom), waits until Hovermark frames
        it, and presses Ctrl+L: the grey line must not show before and must show after; the clipboard's locator
        must parse as Python, and dogtail must find with it an element of that role and name whose extents are
        the framed ones; the grey line's last line must say what `counted` says (UNIQUE or INDEXED), or, when
        None, whatever the locator's index tells; the shot of the grey line is kept in the work folder as keep_as.
        Returns the locator, or None when a step failed."""
        report = self.report
        shared.move_pointer(*point)
        framed = shared.poll(self.framed_rect, lambda found: found == rect, COPY_WAIT_SECONDS)
        if not report.check(framed == rect, f"{label}: Hovermark frames the element under the pointer", rect,
                            framed):
            return None
        shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, self.list_rect(), False), 5.0)
        report.check(not problems, f"{label}: before Ctrl+L no grey line shows below the rows (the list changed)",
                     "no grey text below the rows", "; ".join(problems), shot if problems else None)
        answered, copied = self.timed_locator()
        if not report.check(copied is not None and copied.startswith(b"root."), f"{label}: Ctrl+L copies a dogtail "
                            "locator", "root....", shared.show_bytes(copied)):
            return None
        locator = copied.decode("utf-8")
        print(f"       {label}: {shared.show_bytes(copied)[:300]} (in {answered:.2f} s)", flush=True)
        try:
            ast.parse(locator, mode="eval")
            parsed = None
        except SyntaxError as error:
            parsed = str(error)
        report.check(parsed is None, f"{label}: the locator parses as a Python expression", "no syntax error",
                     parsed)
        found = self.run_dogtail(locator)
        left, top, right, bottom = framed
        extents = [left, top, right - left, bottom - top]
        found_name = shared.show_bytes(found.get("name", "").encode())[:120]
        report.check(found.get("found") and found.get("extents") == extents and found.get("role") == role and
                     found.get("name") == name, f"{label}: dogtail finds with it the element Hovermark framed",
                     f"{role} {shared.show_bytes(name.encode())[:120]} at {extents}",
                     found.get("error") or f"{found.get('role')} {found_name} at {found.get('extents')}")
        shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, self.list_rect(), True),
                                               LOCATOR_WAIT_SECONDS)
        if not report.check(not problems, f"{label}: after Ctrl+L the grey line shows below the rows",
                            "grey text below the rows", "; ".join(problems), shot if problems else None):
            return locator
        if keep_as:
            shot.save_png(os.path.join(self.run.work_dir, keep_as))
        indexed = locator.endswith("]")
        counted = counted or (INDEXED if indexed else UNIQUE)
        text = self.grey_text(shot)
        said = re.search(r"\b1 match\b", text) if counted == UNIQUE else re.search(r"\d+ " + re.escape(counted), text)
        report.check(said is not None and (counted == INDEXED) == indexed,
                     f"{label}: the grey line says {counted!r}, and the locator {'has' if indexed else 'needs no'} "
                     "index", f"{counted!r}, an index exactly then", f"{text[-160:]!r}; locator ends {locator[-30:]!r}",
                     shot)
        return locator

    def fixture_locators(self, app, counted):
        """locator_check on each of a fixture's controls, counted[key] saying what the grey line must say."""
        for key, (x, y, width, height) in app.info["controls"].items():
            self.locator_check(f"{app.name} {key}", (x + width // 2, y + height // 2), (x, y, x + width, y + height),
                               "push button", app.info["names"][key], counted.get(key), f"{app.name}-{key}.png")

    def reader_targets(self, pid, targets):
        """The elements `targets` names (role, name, which of that role and name in the reader's order), as the
        independent reader finds them showing in the application: [(role, name, rect)]."""
        def read():
            done = subprocess.run([PYTHON, os.path.join(FIXTURES, "read_tree.py"), str(pid)], capture_output=True,
                                  text=True, timeout=30)
            elements = [line.split("\t") for line in done.stdout.splitlines()]
            found = []
            for role, name, which in targets:
                alike = [fields for fields in elements if fields[2:4] == [role, name] and fields[4] != "-" and
                         fields[9] == "1"]
                if len(alike) > which:
                    x, y, width, height = map(int, alike[which][4:8])
                    found.append((role, name, (x, y, x + width, y + height)))
            return found

        chosen = shared.poll(read, lambda found: len(found) == len(targets), START_TIMEOUT, 1.0)
        self.report.require(len(chosen) == len(targets), "the reader finds the elements to point at", targets,
                            chosen)
        return chosen

    def widget_factory(self):
        """gtk3-widget-factory at the upper left, above everything but Hovermark; its X window and the elements
        WIDGET_FACTORY_TARGETS names as the independent reader finds them: [(role, name, rect)]."""
        process = self.processes.start("widget-factory", [WIDGET_FACTORY])
        windows = shared.poll(lambda: shared.xdotool("search", "--onlyvisible", "--pid",
                                                     str(process.pid)).stdout.split(), timeout=START_TIMEOUT)
        self.report.require(windows, f"{WIDGET_FACTORY} shows its window", "a window", "none; see widget-factory.log")
        frame = self.x.top_ancestor(int(windows[0]))
        shared.xdotool("windowmove", "--sync", str(frame), "0", "0")
        # Hovermark's list stays in sight, and the elements chosen lie clear of it.
        shared.xdotool("windowraise", str(self.x.top_ancestor(self.hovermark_window)))
        time.sleep(1.0)
        chosen = self.reader_targets(process.pid, WIDGET_FACTORY_TARGETS)
        return process, frame, chosen

    def locators(self):
        """Ctrl+L over elements of gtk3-widget-factory, the Qt 6 fixture, Firefox's page and the locator fixtures:
        buttons of one role and name in two groups, two in one group, and buttons with hostile names (quotes,
        backslashes, a tab, line breaks, characters beyond the BMP, regular expression syntax, 1 MiB). Each
        locator parses as Python and dogtail finds with it exactly the element Hovermark framed; the grey line
        shows below the rows after Ctrl+L, says "1 match" or that the index picks this one, and goes at the next
        change of the list."""
        self.switch_mode(True)
        browser, started = self.start_browser("Firefox", self.firefox_argv())
        try:
            self.wait_for_page(browser, started)
            for name in PAGE_CONTROLS:
                x, y, width, height = browser.info["controls"][name]
                reading = self.expected(browser, (x + width // 2, y + height // 2))
                role, label = reading["rows"][0]
                self.locator_check(f"Firefox {name}", (x + width // 2, y + height // 2),
                                   (x, y, x + width, y + height), role, label)
        finally:
            browser.stop()

        process, frame, chosen = self.widget_factory()
        try:
            for role, name, rect in chosen:
                point = ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)
                shared.move_pointer(*point)
                on_top = self.x.top_ancestor(self.x.window_at_pointer())
                self.report.require(on_top == frame, f"{WIDGET_FACTORY}: nothing lies over its {role} {name!r}",
                                    frame, on_top)
                self.locator_check(f"{WIDGET_FACTORY} {role} {name!r}", point, rect, role, name)
        finally:
            linux.Processes.stop(process)

        qt6 = self.apps.get("qt6")
        own_qt6 = qt6 is None or qt6.process.poll() is not None
        if own_qt6:
            qt6 = Application(self.processes, "qt6")
            self.place(qt6)
        try:
            # Qt's check box is only as wide as its box and text, not its widget: the reader tells where it is.
            for role, name, rect in self.reader_targets(qt6.info["pid"], QT6_TARGETS):
                self.locator_check(f"Qt 6 {role} {name!r}", ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2),
                                   rect, role, name)
        finally:
            if own_qt6:
                qt6.end()

        for mode, counted in (("duplicates", {"ok-a": UNIQUE, "ok-b": UNIQUE, "apply-1": INDEXED, "apply-2": INDEXED,
                                              "save": UNIQUE}),
                              ("hostile", dict.fromkeys(("quotes", "backslashes", "tab", "line-breaks", "beyond-bmp",
                                                         "regex", "huge"), UNIQUE))):
            app = Application(self.processes, "gtk3", f"locator-{mode}", [mode], script=LOCATOR_FIXTURE)
            try:
                self.place(app)
                self.fixture_locators(app, counted)
            finally:
                app.end()

    def locator_of_stopped(self):
        """Ctrl+L over an element of a stopped application: within a second the grey line says the locator was
        not checked; the list then follows the pointer onto another application's element while the stopped one
        still does not answer, and the grey line goes."""
        report = self.report
        self.switch_mode(True)
        app = Application(self.processes, "gtk3", "locator-duplicates", ["duplicates"], script=LOCATOR_FIXTURE)
        try:
            self.place(app)
            x, y, width, height = app.info["controls"]["ok-b"]
            shared.move_pointer(x + width // 2, y + height // 2)
            framed = shared.poll(self.framed_rect, lambda found: found == (x, y, x + width, y + height),
                                 COPY_WAIT_SECONDS)
            report.require(framed == (x, y, x + width, y + height), "Hovermark frames the button in Group B",
                           (x, y, x + width, y + height), framed)
            os.kill(app.info["pid"], signal.SIGSTOP)
            try:
                answered, copied = self.timed_locator()
                report.check(copied is not None and answered < CHECK_SECONDS, "the application stopped: Ctrl+L "
                             f"copies a locator within {CHECK_SECONDS:.0f} s", f"< {CHECK_SECONDS} s",
                             f"{shared.show_bytes(copied)} after {answered:.2f} s")
                print(f"       {shared.show_bytes(copied)} in {answered:.2f} s", flush=True)
                shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, self.list_rect(), True),
                                                       LOCATOR_WAIT_SECONDS)
                shot.save_png(os.path.join(self.run.work_dir, "locator-not-checked.png"))
                text = self.grey_text(shot) if not problems else ""
                report.check(NOT_CHECKED in text, "the application stopped: the grey line says the locator was "
                             "not checked", NOT_CHECKED, text[-160:] or "; ".join(problems), shot)
                gtk3 = self.apps["gtk3"]
                self.check_elements(gtk3, "button", "the application still stopped: the list follows the pointer "
                                    "onto another application's button")
                shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, self.list_rect(), False),
                                                       5.0)
                report.check(not problems, "the list has changed: the grey line has gone",
                             "no grey text below the rows", "; ".join(problems), shot if problems else None)
            finally:
                os.kill(app.info["pid"], signal.SIGCONT)
        finally:
            app.end()

    # --- groups ---

    def desktop(self):
        report = self.report
        self.openbox = self.processes.start("openbox", ["openbox", "--sm-disable"])
        manager = shared.poll(self.x.window_manager, lambda name: name == linux.WINDOW_MANAGER, START_TIMEOUT)
        report.require(manager == linux.WINDOW_MANAGER, "openbox manages the display", linux.WINDOW_MANAGER, manager)
        report.require(is_enabled() is False, "the accessibility bus answers and IsEnabled starts false", False,
                       is_enabled())
        for toolkit in ("gtk3", "gtk4"):
            self.apps[toolkit] = Application(self.processes, toolkit)
            self.place(self.apps[toolkit])

    def start(self):
        report = self.report
        self.windows_before = {w.id for w in self.x.top_windows()}
        self.hovermark = self.processes.start("hovermark", [self.run.hovermark_exe])
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(linux.HOVERMARK_TITLE)),
                              timeout=START_TIMEOUT)
        if not windows:
            self.show_hovermark_log()
        report.require(len(windows) == 1, f"one visible window titled {linux.HOVERMARK_TITLE!r}", 1, len(windows))
        self.hovermark_window = windows[0]

    def window_mode(self):
        """Off, as at every start: the report over an application's button is its window's rows alone."""
        gtk3 = self.apps["gtk3"]
        self.point_at(gtk3, "button")
        self.check_clipboard(self.window_row(gtk3), "mode off: over the GTK 3 button only its window is listed")
        self.report.check(is_enabled() is False, "mode off: IsEnabled is left false", False, is_enabled())

    def gtk3(self):
        report = self.report
        gtk3 = self.apps["gtk3"]
        baseline = self.without_frame(gtk3, "button")[1]
        self.switch_mode(True)
        reading = self.check_elements(gtk3, "button", "GTK 3: the button's element rows above its window's row")
        report.check(reading["offset"] == [0, 0], "GTK 3 reports its extents on the screen", [0, 0],
                     reading["offset"])
        shot = self.check_frame_on(reading["rect"], "GTK 3: the frame lies on the button's extents", baseline)
        self.save_for_docs(shot, "linux-inside-frame.png", [self.frame_rect(self.hovermark_window),
                                                            self.frame_rect(gtk3.xid)])
        self.check_elements(gtk3, "entry", "GTK 3: the text field's rows")
        self.check_elements(gtk3, "check", "GTK 3: the check box inside its frame and box: every container listed")
        self.save_for_docs(shared.Screenshot.grab(), "linux-inside-list.png",
                           [self.frame_rect(self.hovermark_window)])

    def gtk4(self):
        gtk4 = self.apps["gtk4"]
        reading, baseline = self.without_frame(gtk4, "button")
        self.report.check(reading["offset"] != [0, 0], "GTK 4 reports its extents relative to its window",
                          "an offset", reading["offset"])
        self.check_elements(gtk4, "button", "GTK 4: the button's element rows above its window's row")
        self.check_frame_on(reading["rect"], "GTK 4: the frame lies on the button's corrected extents", baseline)
        self.check_elements(gtk4, "check", "GTK 4: the check box on the shown stack page, with its containers")

    def qt6(self):
        report = self.report
        # Qt 6 reads IsEnabled when it starts: started now, it describes its controls because Hovermark asked.
        report.require(is_enabled() is True, "IsEnabled is true while the mode is on", True, is_enabled())
        qt6 = self.apps["qt6"] = Application(self.processes, "qt6")
        self.place(qt6)
        reading = self.check_elements(qt6, "button", "Qt 6: the button's element rows above its window's row")
        self.check_elements(qt6, "check", "Qt 6: the check box inside its group box")
        self.report.check(reading["rows"][0][0] == "push button", "Qt 6: the deepest element is a push button",
                          "push button", reading["rows"][0])

    def start_browser(self, name, argv):
        """Starts a browser on BROWSER_PAGE, waits (at most BROWSER_START_SECONDS) until its window shows, and
        moves it to its place; returns it and when it was started."""
        # Off the browser's place: the list is rebuilt when the window under the pointer changes, not its title,
        # and a browser shows its window before it has its page's title.
        shared.move_pointer(*BARE_DESKTOP)
        browser = Browser(self.run.work_dir, name, argv)
        self.browsers.append(browser)
        started = time.monotonic()
        browser.xid = shared.poll(browser.window, timeout=BROWSER_START_SECONDS, interval=0.5)
        self.report.require(browser.xid, f"{name} shows its window within {BROWSER_START_SECONDS:.0f} s",
                            "a window titled after the page", f"none; see {name}.log")
        # Its title in one of the two properties is not yet its title in the other, which the rows show.
        title = shared.poll(lambda: self.x.property(browser.xid, "_NET_WM_NAME") or b"",
                            lambda found: found.startswith(BROWSER_DOCUMENT.encode()), 10.0)
        self.report.require(title.startswith(BROWSER_DOCUMENT.encode()), f"{name}'s _NET_WM_NAME names the page",
                            BROWSER_DOCUMENT, title)
        self.place(browser)
        return browser, started

    def wait_for_page(self, browser, started):
        """Waits, within what is left of BROWSER_START_SECONDS, until the page's controls are on the bus."""
        left = max(5.0, BROWSER_START_SECONDS - (time.monotonic() - started))
        controls = shared.poll(browser.controls, lambda found: set(found) == set(PAGE_CONTROLS),
                               timeout=left, interval=1.0)
        self.report.require(set(controls or {}) == set(PAGE_CONTROLS),
                            f"{browser.name} describes the page's controls on the bus", "button, entry, check, link",
                            controls)
        browser.info["controls"] = controls
        print(f"       ({browser.name} was ready after {time.monotonic() - started:.0f} s)", flush=True)

    def check_browser(self, browser):
        """The rows over each of the page's controls, byte for byte as the independent reading, and the frame
        on the button's extents."""
        name = browser.name
        reading, baseline = self.without_frame(browser, "button")
        self.check_elements(browser, "button", f"{name}: the button's element rows above its window rows")
        self.check_frame_on(reading["rect"], f"{name}: the frame lies on the button's extents", baseline)
        self.check_elements(browser, "entry", f"{name}: the text field's rows")
        self.check_elements(browser, "check", f"{name}: the check box inside its group, with its containers")
        self.check_elements(browser, "link", f"{name}: the link's rows")

    def browser(self, name, argv):
        browser, started = self.start_browser(name, argv)
        try:
            self.wait_for_page(browser, started)
            self.check_browser(browser)
        finally:
            browser.stop()

    def chromium(self):
        profile = os.path.join(self.run.work_dir, "chromium-profile")
        self.browser("Chromium", ["chromium", "--force-renderer-accessibility", "--no-sandbox", "--no-first-run",
                                  "--disable-gpu", f"--user-data-dir={profile}",
                                  "--window-position={},{}".format(*BROWSER_PLACE),
                                  "--window-size={},{}".format(*BROWSER_SIZE), "file://" + BROWSER_PAGE])

    def firefox_argv(self):
        """Firefox ESR on BROWSER_PAGE with a profile of the run's own, with nothing that would cover or change
        the page while it is checked."""
        profile = os.path.join(self.run.work_dir, "firefox-profile")
        os.makedirs(profile, exist_ok=True)
        with open(os.path.join(profile, "user.js"), "w", encoding="utf-8") as prefs:
            for key, value in (("browser.shell.checkDefaultBrowser", "false"),
                               ("browser.startup.homepage_override.mstone", '"ignore"'),
                               ("browser.aboutwelcome.enabled", "false"),
                               ("datareporting.policy.dataSubmissionEnabled", "false"),
                               ("datareporting.policy.dataSubmissionPolicyBypassNotification", "true"),
                               ("toolkit.telemetry.reportingpolicy.firstRun", "false"),
                               ("browser.startup.upgradeDialog.enabled", "false"),
                               ("app.update.enabled", "false")):
                prefs.write(f"user_pref({json.dumps(key)}, {value});\n")
        return ["firefox-esr", "--no-remote", "--profile", profile, "-width", str(BROWSER_SIZE[0]),
                "-height", str(BROWSER_SIZE[1]), "file://" + BROWSER_PAGE]

    def firefox(self):
        self.browser("Firefox", self.firefox_argv())

    def chromium_without_flag(self):
        """Chromium started without --force-renderer-accessibility describes nothing inside its window: over it
        the list shows its window rows, and below them, in grey, the hint; Ctrl+C copies the window rows alone.
        The hint goes when the pointer leaves Chromium."""
        profile = os.path.join(self.run.work_dir, "chromium-plain-profile")
        browser, _ = self.start_browser("Chromium without the flag", [
            "chromium", "--no-sandbox", "--no-first-run", "--disable-gpu", f"--user-data-dir={profile}",
            "--window-position={},{}".format(*BROWSER_PLACE), "--window-size={},{}".format(*BROWSER_SIZE),
            "file://" + BROWSER_PAGE])
        try:
            left, top, right, _ = self.hovermark_rect()
            list_rect = (left, top, right, top + shared.LIST_HEIGHT)
            # In the page, where the button would be described.
            shared.move_pointer(BROWSER_PLACE[0] + 100, BROWSER_PLACE[1] + BROWSER_SIZE[1] // 2 + 20)
            self.check_clipboard(self.pointer_window_rows(), "Chromium without the flag: the window rows alone, "
                                 "and Ctrl+C copies no hint", timeout=BROWSER_START_SECONDS / 2)
            shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, list_rect, True), 5.0)
            self.report.check(not problems, "Chromium without the flag: the hint shows in grey below the rows",
                              "grey text below the window rows", "; ".join(problems), shot if problems else None)
            self.save_for_docs(shot, "linux-inside-hint.png", [self.frame_rect(self.hovermark_window),
                                                               self.frame_rect(browser.xid)])
            self.point_at(self.apps["gtk3"], "button")
            shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, list_rect, False), 5.0)
            self.report.check(not problems, "the pointer on a GTK 3 button: the hint has gone",
                              "no grey text below the rows", "; ".join(problems), shot if problems else None)
        finally:
            browser.stop()

    def not_accessible(self):
        """An X application that describes nothing: its window rows, as in window mode, even where its window
        lies over an accessible application's (its lone window covers the lower part of the Qt window)."""
        self.fixture = linux.Fixture(self.processes, self.run.work_dir)
        info = shared.poll(lambda: self.fixture.read_info().get("button_rect"), timeout=START_TIMEOUT)
        self.report.require(info, "the X fixture starts")
        shared.move_pointer(*self.fixture.centre("lone"))
        self.check_clipboard(self.fixture.row("lone"), "an X application without accessibility: its window rows")
        self.fixture.command("quit")

    def destroyed(self):
        report = self.report
        gtk3 = self.apps["gtk3"]
        reading = self.check_elements(gtk3, "button", "before the button goes: its rows")
        expected = self.element_lines(reading["rows"]) + self.window_row(gtk3)
        self.press("p")
        shared.move_pointer(*self.control_centre(self.apps["gtk4"], "button"))
        time.sleep(3 * TICK)
        self.check_clipboard(expected, "paused: the list stays on the GTK 3 button", timeout=1.0)
        gtk3.command("remove button")
        self.check_clipboard(expected + shared.DESTROYED_LINES, "paused, the button removed: Destroyed! once")
        time.sleep(10 * TICK)
        self.check_clipboard(expected + shared.DESTROYED_LINES, "ten ticks later the rows are not added again",
                             timeout=1.0)
        shot, problems = self.frame_gone(tuple(reading["rect"]))
        report.check(not problems, "the frame is hidden once the button is gone", "no frame colour, no bar mapped",
                     "; ".join(problems), shot if problems else None)
        self.press("p")

    def hung_application(self):
        """A stopped application under the pointer: Hovermark still answers within a second, lists the window
        meanwhile, and shows the elements again once the application runs."""
        report = self.report
        gtk4 = self.apps["gtk4"]
        self.check_elements(gtk4, "button", "before the stop: the GTK 4 button's rows")
        os.kill(gtk4.info["pid"], signal.SIGSTOP)
        try:
            # For longer than the application is left alone, the pointer going from one of its elements to
            # another, so that every tick would ask it again.
            names = ("check", "button")
            slowest, _ = self.copies_for(SKIP_SECONDS + 1.5, lambda turn: self.point_at(gtk4, names[turn % 2]))
            report.check(slowest < HUNG_ANSWER_SECONDS, "with the application stopped, Ctrl+C answers within 1 s",
                         f"< {HUNG_ANSWER_SECONDS} s", f"{slowest:.2f} s at the slowest")
            self.check_clipboard(self.window_row(gtk4), "with the application stopped: its window rows",
                                 timeout=3.0)
        finally:
            os.kill(gtk4.info["pid"], signal.SIGCONT)
        self.check_elements(gtk4, "check", "after SIGCONT: the elements come back")

    def paused_application_stops(self):
        """Paused over a GTK 3 button whose application then stops, for longer than a hung application is left
        alone, and runs again: every copy answers within a second with the button's rows, never "Destroyed!".
        Once shown while paused, "Destroyed!" stays, so the copies see it whenever it came."""
        gtk3 = self.apps["gtk3"]
        reading = self.check_elements(gtk3, "button", "before the pause: the GTK 3 button's rows")
        expected = (self.element_lines(reading["rows"]) + self.window_row(gtk3)).encode()
        self.press("p")
        os.kill(gtk3.info["pid"], signal.SIGSTOP)
        try:
            stopped = self.copies_for(SKIP_SECONDS + 2.0)
        finally:
            os.kill(gtk3.info["pid"], signal.SIGCONT)
        running = self.copies_for(2.0)
        self.press("p")
        # Resumed, the list follows the pointer onto another window: the next group starts afresh.
        gtk4 = self.apps["gtk4"]
        self.point_at(gtk4, "button")
        self.wait_for_window(self.window_row(gtk4))
        for when, (slowest, seen) in ((f"stopped for {SKIP_SECONDS + 2:.0f} s", stopped),
                                      ("for 2 s after SIGCONT", running)):
            index, wrong = next(((n, data) for n, data in enumerate(seen, 1) if data != expected), (0, expected))
            self.report.check(slowest < HUNG_ANSWER_SECONDS and wrong == expected,
                              f"paused, the application {when}: each of {len(seen)} copies answers within 1 s with "
                              "the button's rows and no Destroyed!",
                              f"{shared.show_bytes(expected)} within {HUNG_ANSWER_SECONDS} s",
                              f"copy {index}: {shared.show_bytes(wrong)}; {slowest:.2f} s at the slowest"
                              if index else f"{slowest:.2f} s at the slowest")

    def slow_application(self):
        """An application that answers every call late, yet within the 250 ms a call may wait (stopped 180 ms
        of every 210 ms), while the pointer goes from one of its elements to another: every Ctrl+C answers
        within a second with the window's rows alone or with the whole rows of one of its elements, never a
        part of them; and after a rest, still slow, the element under the pointer is listed whole."""
        gtk3 = self.apps["gtk3"]
        pid = gtk3.info["pid"]
        self.check_elements(gtk3, "entry", "before the slow spell: the GTK 3 text field's rows")
        names = ("check", "entry", "frame")
        window_row = self.window_row(gtk3)
        whole = {name: (self.element_lines(self.expected(gtk3, self.control_centre(gtk3, name))["rows"]) +
                        window_row).encode() for name in names}
        over = threading.Event()
        stops = []

        def stutter():
            # Bounded on its own too, should nobody set `over`.
            until = time.monotonic() + SLOW_SECONDS + SLOW_REST_SECONDS + 3 * COPY_WAIT_SECONDS
            while not over.is_set() and time.monotonic() < until:
                os.kill(pid, signal.SIGSTOP)
                stops.append(time.monotonic())
                over.wait(SLOW_STOPPED_SECONDS)
                os.kill(pid, signal.SIGCONT)
                over.wait(SLOW_PERIOD_SECONDS - SLOW_STOPPED_SECONDS)

        stutterer = threading.Thread(target=stutter, daemon=True)
        stutterer.start()
        try:
            slowest, seen = self.copies_for(SLOW_SECONDS, lambda turn: self.point_at(gtk3, names[turn % len(names)]))
            self.point_at(gtk3, "check")
            time.sleep(SLOW_REST_SECONDS)
            rested = self.timed_copy()
        finally:
            over.set()
            stutterer.join(timeout=5)
            os.kill(pid, signal.SIGCONT)
        print(f"       (stopped {len(stops)} times; the slowest of {len(seen)} copies answered in {slowest:.2f} s)",
              flush=True)
        allowed = set(whole.values()) | {window_row.encode()}
        wrong = next((data for data in seen if data not in allowed), None)
        # A stutter that died early would leave a quick application behind: it must have gone on throughout.
        least = (SLOW_SECONDS + SLOW_REST_SECONDS) / SLOW_PERIOD_SECONDS / 2
        stuttered = len(stops) >= least
        self.report.check(stuttered and slowest < HUNG_ANSWER_SECONDS and wrong is None,
                          f"a slow application: each of {len(seen)} copies answers within 1 s with the window's "
                          "rows or one element's whole rows", f"one of {len(allowed)} reports within 1 s, the "
                          f"application stopped at least {least:.0f} times",
                          f"{shared.show_bytes(wrong)}, {slowest:.2f} s at the slowest, stopped {len(stops)} times")
        self.report.check(rested[1] == whole["check"], f"a slow application, after {SLOW_REST_SECONDS:.0f} s at "
                          "rest on the check box: its whole rows", shared.show_bytes(whole["check"]),
                          first_difference(whole["check"], rested[1]))

    def slow_tree(self):
        """A button twelve containers deep in an application of the run's own (tests/atspi/slow_tree_fixture.py)
        whose every extents call takes 190 ms, within the bound: after six seconds at rest on it, its rows are the
        whole chain, byte for byte as the independent reading walks it."""
        self.switch_mode(True)
        # Off its window while the reader reads it: the fixture answers one call at a time, and a call of
        # Hovermark's queued behind the reader's would come late, as from any application so busy.
        shared.move_pointer(*BARE_DESKTOP)
        slow = Application(self.processes, "slow_tree", "slow-tree")
        try:
            point = self.control_centre(slow, "button")
            reading = self.expected(slow, point)
            expected = (self.element_lines(reading["rows"]) + self.window_row(slow)).encode()
            shared.move_pointer(*point)
            # The rest itself is the condition.
            time.sleep(SLOW_TREE_REST_SECONDS)
            answered, seen = self.timed_copy()
            self.report.check(seen == expected and answered < HUNG_ANSWER_SECONDS,
                              f"a slow tree, after {SLOW_TREE_REST_SECONDS:.0f} s at rest on its button: the button, "
                              "its twelve containers and the window, answered within 1 s",
                              f"{len(reading['rows']) + 1} rows as read",
                              f"{first_difference(expected, seen)}; answered in {answered:.2f} s")
        finally:
            slow.end()

    def deep_tree(self, toolkit):
        """A button inside 200 boxes (GTK 3) or widgets (Qt 6), one inside the next: after a second at rest on
        it, the rows are the whole chain, byte for byte as the independent reading walks it."""
        # Qt describes its widgets only when IsEnabled is true as it starts.
        self.switch_mode(True)
        deep = Application(self.processes, toolkit, f"{toolkit}-deep", [str(DEEP_LEVELS)])
        try:
            self.place(deep)
            point = self.control_centre(deep, "button")
            reading = self.expected(deep, point)
            levels = [["push button", "Deep button"]] + [["filler", f"Level {n}"] for n in range(DEEP_LEVELS, 0, -1)]
            self.report.require(reading["rows"][:len(levels)] == levels, f"the reader passes through all "
                                f"{DEEP_LEVELS} levels, each an element of its own", f"{len(levels)} rows from the "
                                "button to Level 1", f"{len(reading['rows'])} rows: {reading['rows'][:3]} ...")
            expected = (self.element_lines(reading["rows"]) + self.window_row(deep)).encode()
            shared.move_pointer(*point)
            # The rest itself is the condition: a second after the pointer stopped the rows must be complete.
            time.sleep(DEEP_REST_SECONDS)
            answered, seen = self.timed_copy()
            self.report.check(seen == expected and answered < HUNG_ANSWER_SECONDS,
                              f"{DEEP_LEVELS} levels deep, after {DEEP_REST_SECONDS:.0f} s at rest: the button, every "
                              "level and the window, answered within 1 s", f"{len(levels) + 1} rows as read",
                              f"{first_difference(expected, seen)}; answered in {answered:.2f} s")
        finally:
            deep.end()

    def gtk4_header_bar(self):
        """A GTK 4 window with a header bar draws its decorations itself, inside its X window, and leaves a margin
        around its own widget there: over the button in its content the rows are the reader's, and the frame
        lies on the button's own pixels."""
        self.switch_mode(True)
        gtk4 = Application(self.processes, "gtk4", "gtk4-header", ["headerbar"])
        try:
            self.place(gtk4)
            self.report.require(gtk4.info["content"][:2] != [0, 0], "with a header bar, GTK 4's window widget lies "
                                "inside its X window with a margin", "a margin", gtk4.info["content"])
            reading, baseline = self.without_frame(gtk4, "button")
            self.check_elements(gtk4, "button", "GTK 4 with a header bar: the button's element rows above its "
                                "window's row")
            self.check_frame_on(reading["rect"], "GTK 4 with a header bar: the frame lies on the button's extents",
                                baseline)
        finally:
            gtk4.end()

    def registry_stopped(self):
        """The registry of the run's accessibility bus stopped (SIGSTOP) while the pointer goes over a window that
        no application on the bus stands for (the X application's), then over a GTK 3 window: every Ctrl+C
        answers within a second with the window under the pointer, most of them at once; after SIGCONT the
        elements come back, and an application started since is found."""
        self.switch_mode(True)
        gtk3 = Application(self.processes, "gtk3", "gtk3-lower")
        self.fixture = linux.Fixture(self.processes, self.run.work_dir)
        try:
            self.place(gtk3)
            info = shared.poll(lambda: self.fixture.read_info().get("button_rect"), timeout=START_TIMEOUT)
            self.report.require(info, "the X fixture starts")
            self.check_elements(gtk3, "button", "before the registry stops: the GTK 3 button's rows")
            registry = bus_pid(accessibility_bus(), REGISTRY)
            self.report.require(registry, "the accessibility bus's registry runs", "its process", registry)
            x, y = self.fixture.centre("lone")
            names = ("button", "entry")
            spells = [("the X application's window", self.fixture.row("lone"),
                       lambda turn: shared.move_pointer(x + 40 * (turn % 3), y)),
                      ("the GTK 3 window", self.window_row(gtk3), lambda turn: self.point_at(gtk3, names[turn % 2]))]
            answers = []
            os.kill(registry, signal.SIGSTOP)
            try:
                for where, row, step in spells:
                    # Each spell is timed from when the list has reached its window.
                    step(0)
                    self.wait_for_window(row)
                    times = []
                    seen = self.copies_for(REGISTRY_STOPPED_SECONDS, step, times)[1]
                    answers.append((where, row, times, seen))
            finally:
                os.kill(registry, signal.SIGCONT)
            for where, row, times, seen in answers:
                wrong = next((data for data in seen if data is None or not data.endswith(row.encode())), None)
                self.report.check(max(times) < HUNG_ANSWER_SECONDS and wrong is None,
                                  f"the registry stopped, the pointer on {where}: each of {len(seen)} copies answers "
                                  "within 1 s and ends with its window's row",
                                  f"rows ending with {shared.show_bytes(row.encode())} within 1 s",
                                  f"{shared.show_bytes(wrong) if wrong else 'all as expected'}; {max(times):.2f} s at "
                                  "the slowest")
                # Left alone once it has not answered, the registry costs one call's wait, not one every tick.
                prompt = sum(answered < CALL_SECONDS for answered in times)
                self.report.check(2 * prompt > len(times), f"the registry stopped, the pointer on {where}: most "
                                  f"copies answer within {CALL_SECONDS * 1000:.0f} ms, Hovermark waiting for no "
                                  "call meanwhile", f"more than {len(times) // 2} of {len(times)}",
                                  f"{prompt}; the copies took {', '.join(f'{answered:.2f}' for answered in times)} s")
            self.check_elements(gtk3, "check", "after SIGCONT the registry answers: the elements come back",
                                timeout=SKIP_SECONDS + 3.0)
            # The application above was met before the stop; one started now is found only through the registry.
            gtk3.end()
            gtk3 = Application(self.processes, "gtk3", "gtk3-lower")
            self.place(gtk3)
            self.check_elements(gtk3, "button", "after SIGCONT the registry is read again: an application started "
                                "since is found", timeout=SKIP_SECONDS + 3.0)
        finally:
            self.fixture.command("quit")
            try:
                self.fixture.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                linux.Processes.stop(self.fixture.process)
            gtk3.end()

    def qt_started_before_f7(self):
        """A Qt application started while IsEnabled is false does not register on the accessibility bus (Qt reads
        IsEnabled as it starts): once F7 is pressed the list shows its window rows and, below them, the hint;
        Ctrl+C copies the rows alone. Started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 instead, before F7 all the
        same, it registers: its elements are listed and no hint shows."""
        left, top, right, _ = self.hovermark_rect()
        list_rect = (left, top, right, top + shared.LIST_HEIGHT)
        for always_on in (False, True):
            started = "with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1" if always_on else "while IsEnabled is false"
            self.switch_mode(False)
            # A title of its own: the run's other Qt window, of the same size, must not pass for it.
            qt6 = Application(self.processes, "qt6", "qt6-early", ["0", f"Hovermark Qt 6 fixture started {started}"],
                              {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"} if always_on else None)
            try:
                self.place(qt6)
                self.point_at(qt6, "button")
                self.switch_mode(True)
                if always_on:
                    self.check_elements(qt6, "button", f"Qt 6 started {started}, then F7: the button's element rows")
                else:
                    self.report.require(not self.registered(qt6), "Qt 6 started while IsEnabled is false is not on "
                                        "the accessibility bus's registry", "not registered", "registered")
                    self.check_clipboard(self.window_row(qt6), f"Qt 6 started {started}, then F7: its window rows "
                                         "alone, and Ctrl+C copies no hint")
                shot, problems = shared.Run.shot_until(lambda found: hint_problems(found, list_rect, not always_on),
                                                       5.0)
                hint = "no hint below the rows" if always_on else "the hint shows in grey below the rows"
                self.report.check(not problems, f"Qt 6 started {started}: {hint}",
                                  "no grey text below the rows" if always_on else "grey text below the window rows",
                                  "; ".join(problems), shot if problems else None)
            finally:
                qt6.end()

    # --- the accessibility bus's own processes stopped, killed and restarted ---

    def fresh_hovermark(self):
        """A Hovermark of the group's own, looking inside: one that runs is ended first (SIGTERM)."""
        if self.hovermark is not None:
            linux.Processes.stop(self.hovermark)
        self.start()
        self.switch_mode(True)

    def restart_bus(self):
        """Ends the accessibility bus (its launcher, its daemon and its registry, whichever still run) and starts
        a new launcher as scripts/e2e_linux.sh started the first one: the new bus's address."""
        launcher = bus_pid("--session", LAUNCHER_NAME)
        old = accessibility_bus() if launcher is not None else None
        ending = [pid for pid in (launcher, old and bus_pid(old, BUS_DAEMON), old and bus_pid(old, REGISTRY)) if pid]
        for pid in ending:
            os.kill(pid, signal.SIGTERM)
        shared.poll(lambda: all(gone(pid) for pid in ending), timeout=BUS_SECONDS)
        left = [pid for pid in ending if not gone(pid)]
        self.report.require(not left, "the accessibility bus's launcher, daemon and registry end", ending, left)
        self.processes.start("at-spi-bus-launcher", BUS_LAUNCHER)
        # Asked for its address before it owns its name, D-Bus would start a launcher of its own.
        shared.poll(lambda: bus_pid("--session", LAUNCHER_NAME), timeout=BUS_SECONDS)
        address = shared.poll(accessibility_bus, lambda found: found not in (None, old), BUS_SECONDS)
        self.report.require(address not in (None, old), "a new accessibility bus comes up at a new address",
                            f"an address other than {old}", address)
        return address

    def bus_killed_while_paused(self):
        """Paused on a Qt button, the accessibility bus's daemon is killed (SIGKILL) and the pointer goes across the
        window: the application and its button live on, so every copy keeps the button's rows and none says
        "Destroyed!", nor does the list on the screen. A new bus is started afterwards."""
        self.fresh_hovermark()
        qt6 = Application(self.processes, "qt6", "qt6-paused")
        registry = None
        try:
            self.place(qt6)
            reading = self.check_elements(qt6, "button", "before the pause: the Qt 6 button's rows")
            expected = (self.element_lines(reading["rows"]) + self.window_row(qt6)).encode()
            bus = accessibility_bus()
            daemon, registry = bus_pid(bus, BUS_DAEMON), bus_pid(bus, REGISTRY)
            self.report.require(daemon, "the accessibility bus's daemon is found", "its process", daemon)
            self.press("Pause")
            os.kill(daemon, signal.SIGKILL)
            self.report.require(shared.poll(lambda: gone(daemon), timeout=BUS_SECONDS),
                                "the accessibility bus's daemon is killed")
            left, top, width, height = self.window_rect(qt6)
            # Left to right across the window, at the button's height and lower down.
            spots = [(left + width * n // 8, top + height * row // 4) for row in (1, 3) for n in range(1, 8)]
            slowest, seen = self.copies_for(3.0, lambda turn: shared.move_pointer(*spots[turn % len(spots)]))
            index, wrong = next(((n, data) for n, data in enumerate(seen, 1) if data != expected), (0, None))
            self.report.check(slowest < HUNG_ANSWER_SECONDS and not index,
                              f"paused, the bus killed, the pointer across the window: each of {len(seen)} copies "
                              "answers within 1 s with the button's rows and no Destroyed!",
                              f"{shared.show_bytes(expected)} within {HUNG_ANSWER_SECONDS} s",
                              (f"copy {index}: {shared.show_bytes(wrong)}; " if index else "")
                              + f"{slowest:.2f} s at the slowest")
            hovermark_left, hovermark_top, right, _ = self.hovermark_rect()
            shot = shared.Screenshot.grab()
            places, _ = linux.list_colour_places(
                shot, (hovermark_left, hovermark_top, right, hovermark_top + shared.LIST_HEIGHT))
            tinted = {name: len(found) for name, found in places.items()}
            self.report.check(not any(tinted.values()), "paused, the bus killed: no red Destroyed! row in the list",
                              "no red text", tinted, shot if any(tinted.values()) else None)
            self.press("Pause")
        finally:
            qt6.end()
            if registry is not None and not gone(registry):
                os.kill(registry, signal.SIGTERM)
            self.restart_bus()

    def bus_restarts(self):
        """With the mode on, the accessibility bus restarts: its launcher, daemon and registry end, and a new bus
        comes up at a new address, where applications start so that one of them is given the unique name the
        old registry had. F7 off and on: Hovermark runs on, lists every application's elements on the new bus,
        and once it exits IsEnabled is false again. The run's applications are those on the new bus afterwards."""
        self.fresh_hovermark()
        before = Application(self.processes, "gtk3", "gtk3-lower")
        try:
            self.place(before)
            self.check_elements(before, "button", "before the restart: the GTK 3 button's rows")
            registry_name = name_owner(accessibility_bus(), REGISTRY)
            self.report.require(registry_name, "the old bus's registry has a unique name", "a name", registry_name)
            bus = self.restart_bus()
            for app in [before, *self.apps.values()]:
                app.end()
            # Each connection takes the bus's next unique name: calls of the bus's own take them until the next
            # one is the old registry's.
            wanted = int(registry_name.rsplit(".", 1)[1])
            caller = bus_call(bus, "GetId")[1]
            while caller is not None and int(caller.rsplit(".", 1)[1]) + 1 < wanted:
                caller = bus_call(bus, "GetId")[1]
            for toolkit in ("gtk3", "gtk4"):
                self.apps[toolkit] = Application(self.processes, toolkit)
            names = unique_names(bus)
            holder = next((app.toolkit for app in self.apps.values()
                           if registry_name in names.get(app.info["pid"], [])), None)
            self.report.require(holder, f"on the new bus an application has the old registry's name {registry_name}",
                                registry_name, f"the names {names}, the last call's {caller}")
            print(f"       (the {holder} application took {registry_name}; the new registry is "
                  f"{name_owner(bus, REGISTRY)})", flush=True)
            self.switch_mode(False, always=True)
            self.switch_mode(True, always=True)
            # Started after F7, a Qt application finds IsEnabled true on the new bus and describes itself.
            self.apps["qt6"] = Application(self.processes, "qt6")
            for app in self.apps.values():
                self.place(app)
            running = self.report.check(self.hovermark.poll() is None, "after the restart and F7 off and on, "
                                        "Hovermark runs on", "running", ended_how(self.hovermark))
            if running:
                for app in self.apps.values():
                    self.check_elements(app, "button", f"on the new bus: the {app.toolkit} button's rows")
                self.exit_by_button()
            else:
                self.show_hovermark_log()
            self.report.check(is_enabled() is False, "after Hovermark has gone IsEnabled is false again", False,
                              is_enabled())
        finally:
            before.end()
            # What a crash left set, for whatever follows.
            if is_enabled():
                set_is_enabled(False)

    def switch_off(self):
        gtk3 = self.apps["gtk3"]
        self.switch_mode(False)
        self.point_at(gtk3, "entry")
        self.check_clipboard(self.window_row(gtk3), "F7 again: the window rows alone")

    def exit_restores(self):
        self.switch_mode(True)
        self.exit_by_button()
        self.report.check(is_enabled() is False, "after Exit IsEnabled is false again", False, is_enabled())

    def exit_by_button(self):
        """Exit, Hovermark's own windows expected to go and every other window now on the screen to stay."""
        own = {self.x.top_ancestor(self.hovermark_window)} | {bar.id for bar in self.bars()}
        self.windows_before = {w.id for w in self.x.top_windows()} - own
        self.exit_by("the Exit button")

    def signals_restore(self):
        """SIGTERM and SIGHUP end Hovermark as a close does; a crash (SIGSEGV, SIGABRT, as a library's abort
        raises it) still ends it by that signal. After each, IsEnabled is false again."""
        for name, number, crash in (("SIGTERM", signal.SIGTERM, False), ("SIGHUP", signal.SIGHUP, False),
                                    ("SIGSEGV", signal.SIGSEGV, True), ("SIGABRT", signal.SIGABRT, True)):
            self.start()
            self.switch_mode(True)
            self.hovermark.send_signal(number)
            try:
                code = self.hovermark.wait(timeout=10)
            except subprocess.TimeoutExpired:
                code = None
            if crash:
                self.report.check(code == -number, f"{name} ends Hovermark as a crash does", -number, code)
            else:
                self.report.check(code is not None, f"{name} ends Hovermark", "ended", code)
            self.report.check(is_enabled() is False, f"after {name} IsEnabled is false again", False, is_enabled())

    def display_lost_restores(self):
        """The X display goes away while the mode is on: Hovermark ends, and IsEnabled is put back all the same."""
        first, last = (int(n) for n in os.environ.get("HOVERMARK_E2E_DISPLAYS", "80-99").split("-"))
        display = next(f":{n}" for n in range(first, last + 1)
                       if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        own = dict(os.environ, DISPLAY=display)
        server_log = os.path.join(self.run.work_dir, "xvfb-lost-display.log")
        with open(server_log, "ab") as log:
            server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-noreset", "-nolisten", "tcp"],
                                      stdout=log, stderr=log)
        self.processes.started.append(server)
        answers = shared.poll(lambda: subprocess.run(["xdpyinfo"], env=own, capture_output=True).returncode == 0,
                              timeout=START_TIMEOUT)
        self.report.require(answers, f"a display of its own ({display}) answers", "xdpyinfo succeeds",
                            f"Xvfb {'ended' if server.poll() is not None else 'runs'}; see {server_log}")
        log = open(os.path.join(self.run.work_dir, "hovermark-lost-display.log"), "ab")
        program = subprocess.Popen([self.run.hovermark_exe], env=own, stdout=log, stderr=log)
        self.processes.started.append(program)
        found = shared.poll(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Hovermark 1.1$"],
                                                   env=own, capture_output=True, text=True).stdout.split(),
                            timeout=START_TIMEOUT)
        self.report.require(found, f"Hovermark starts on a display of its own ({display})")
        subprocess.run(["xdotool", "windowfocus", "--sync", found[0], "key", "F7"], env=own, capture_output=True,
                       timeout=10)
        enabled = shared.poll(is_enabled, lambda value: value is True, 3.0)
        self.report.require(enabled is True, "F7 there sets IsEnabled", True, enabled)
        server.terminate()
        server.wait(timeout=10)
        try:
            code = program.wait(timeout=10)
        except subprocess.TimeoutExpired:
            code = None
        self.report.check(code == 1, "with its display gone, Hovermark ends with exit code 1", 1, code)
        self.report.check(is_enabled() is False, "with its display gone, IsEnabled is false again", False,
                          is_enabled())

    def without_bus(self, missing):
        """Without a session bus, or with one that has no accessibility bus: F7 says why in a message box, the
        switch stays off, and windows are listed as ever."""
        environment = dict(os.environ)
        environment.pop("AT_SPI_BUS_ADDRESS", None)
        if missing == "a session bus":
            environment["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent/bus"
        else:
            environment["DBUS_SESSION_BUS_ADDRESS"] = self.bus_without_services()
        log = open(os.path.join(self.run.work_dir, f"hovermark-no-{missing.split()[-2]}-bus.log"), "ab")
        self.hovermark = subprocess.Popen([self.run.hovermark_exe], env=environment, stdout=log, stderr=log)
        self.processes.started.append(self.hovermark)
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(linux.HOVERMARK_TITLE)),
                              timeout=START_TIMEOUT)
        self.report.require(len(windows) == 1, f"Hovermark starts without {missing}", 1, len(windows))
        self.hovermark_window = windows[0]
        gtk3 = self.apps["gtk3"]
        self.point_at(gtk3, "button")
        for attempt in ("F7", "F7 again"):
            self.press("F7")
            boxes = shared.poll(lambda: shared.visible_windows(shared.exact("Hovermark")), timeout=5)
            self.report.check(len(boxes) == 1, f"{attempt} without {missing} shows one message box titled "
                              "'Hovermark'", 1, len(boxes))
            if missing == "a session bus" and attempt == "F7":
                self.save_for_docs(shared.Screenshot.grab(), "linux-inside-no-bus.png",
                                   [self.frame_rect(self.hovermark_window)] + [self.frame_rect(box) for box in boxes])
            for box in boxes:
                self.focus(box)
                shared.key("Return")
            left = shared.poll(lambda: shared.visible_windows(shared.exact("Hovermark")), lambda found: not found, 5)
            self.report.check(not left, "Enter closes the message box", "none visible", len(left))
        self.check_clipboard(self.window_row(gtk3), f"without {missing} the window is listed as ever")
        self.exit_by("the Exit button")

    def bus_without_services(self):
        """A session bus of its own that knows no services, so nothing can start an accessibility bus on it."""
        config = os.path.join(self.run.work_dir, "bus-without-services.conf")
        with open(config, "w", encoding="utf-8") as out:
            out.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                      "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
                      "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                      "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
        daemon = subprocess.Popen(["dbus-daemon", f"--config-file={config}", "--nofork", "--print-address=1"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.processes.started.append(daemon)
        address = daemon.stdout.readline().strip()
        self.report.require(address, "a session bus without services starts", "an address", address)
        return address

    def demo(self, path):
        """No checks but what the picture needs: Hovermark looking inside the GTK 3 window under openbox, the
        pointer on its button, the button's element rows listed and the frame on it; a screenshot."""
        self.openbox = self.processes.start("openbox", ["openbox", "--sm-disable"])
        manager = shared.poll(self.x.window_manager, lambda name: name == linux.WINDOW_MANAGER, START_TIMEOUT)
        self.report.require(manager == linux.WINDOW_MANAGER, "openbox manages the display")
        gtk3 = self.apps["gtk3"] = Application(self.processes, "gtk3")
        self.place(gtk3)
        self.start()
        self.switch_mode(True)
        reading = self.expected(gtk3, self.point_at(gtk3, "button"))
        self.check_clipboard(self.element_lines(reading["rows"]) + self.window_row(gtk3),
                             "the list shows the GTK 3 button's element rows above its window's row")
        rect = tuple(reading["rect"])
        shot, problems = shared.Run.shot_until(lambda shot: linux.ring_problems(shot, rect, 2), 3.0)
        self.report.check(not problems, "the frame lies on the button's extents", rect, "; ".join(problems))
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        shot.save_png(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/linux")
    parser.add_argument("--work-dir", default="build/e2e-look-inside-run")
    parser.add_argument("--save-screenshots", metavar="DIR")
    parser.add_argument("--demo", metavar="PNG", help="no checks: Hovermark looking inside a GTK 3 window's button, "
                        "and a screenshot of it")
    parser.add_argument("--only", metavar="REGEX", help="only the groups whose titles match, after the two that set "
                        "up the desktop and start Hovermark")
    options = parser.parse_args()
    os.makedirs(options.work_dir, exist_ok=True)
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))
    run = linux.Run(options)
    started = time.monotonic()
    check = LookInsidePass(run)
    if options.demo:
        try:
            check.group("looking inside a GTK 3 window", lambda: check.demo(options.demo), needs_hovermark=False)
        finally:
            run.processes.stop_all()
            run.x.close()
        print(f"\nScreenshot of Hovermark looking inside a GTK 3 window's button: {os.path.abspath(options.demo)}",
              flush=True)
        return 0 if os.path.isfile(options.demo) else 1
    groups = [
        ("desktop, buses and applications", check.desktop, False),
        ("start", check.start, False),
        ("mode off", check.window_mode, True),
        ("GTK 3", check.gtk3, True),
        ("GTK 4", check.gtk4, True),
        ("GTK 4 with a header bar", check.gtk4_header_bar, True),
        ("Qt 6", check.qt6, True),
        ("Chromium", check.chromium, True),
        ("Firefox ESR", check.firefox, True),
        ("Chromium without --force-renderer-accessibility", check.chromium_without_flag, True),
        ("an X application without accessibility", check.not_accessible, True),
        ("paused over an element whose application stops", check.paused_application_stops, True),
        ("an element removed while paused", check.destroyed, True),
        ("a stopped application", check.hung_application, True),
        ("a slow application", check.slow_application, True),
        ("the registry stopped", check.registry_stopped, True),
        ("a slow tree", check.slow_tree, True),
        (f"a GTK 3 button {DEEP_LEVELS} boxes deep", lambda: check.deep_tree("gtk3"), True),
        (f"a Qt 6 button {DEEP_LEVELS} widgets deep", lambda: check.deep_tree("qt6"), True),
        ("Ctrl+L: element locators that dogtail finds", check.locators, True),
        ("Ctrl+L over a stopped application", check.locator_of_stopped, True),
        ("F7 again", check.switch_off, True),
        ("a Qt application started before F7", check.qt_started_before_f7, True),
        ("IsEnabled after Exit", check.exit_restores, True),
        ("IsEnabled after SIGTERM, SIGHUP and a crash", check.signals_restore, False),
        ("IsEnabled after the display is lost", check.display_lost_restores, False),
        ("no session bus", lambda: check.without_bus("a session bus"), False),
        ("no accessibility bus", lambda: check.without_bus("an accessibility bus"), False),
        # These two end the accessibility bus: nothing after them may count on the applications started before.
        ("paused on a Qt button when the accessibility bus is killed", check.bus_killed_while_paused, False),
        ("the accessibility bus restarts", check.bus_restarts, False),
    ]
    try:
        for number, (title, body, needs_hovermark) in enumerate(groups):
            if number < 2 or options.only is None or re.search(options.only, title):
                check.group(title, body, needs_hovermark)
    finally:
        for browser in check.browsers:
            browser.stop()
        run.processes.stop_all()
        run.x.close()
    return run.summary(started)


if __name__ == "__main__":
    sys.exit(main())
