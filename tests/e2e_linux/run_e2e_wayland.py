#!/usr/bin/python3
"""The end-to-end proof of the native Linux Hovermark in a Wayland session: sway on its headless back end, with
its XWayland, as a user of the run's own (sway refuses root), and the real program beside the X fixture
application (fixture_app.py) on that XWayland display.

Everything that touches the session runs as that user, since the XWayland display admits its own user only and
is known only to sway's children: the programs are started with `swaymsg exec`, the pointer and keys go through
XTEST (xdotool), the clipboard is read with xclip, and the pixels come from the compositor's own screenshot
(grim), so they are what the Wayland session shows, not what the X server thinks it drew. The help box's text is
read from the accessibility bus (read_tree.py), on a session bus that sway and its children share.

It checks the chain report of the fixture's button byte for byte, the frame's pixels on it, P and Ctrl+C as the X11
run does, F8 by the "On top" switch's pixels (sway keeps no _NET_WM_STATE_ABOVE), the help box's Wayland line and
the one line on stderr, and the Exit button. Whatever happens,
it ends sway, XWayland and every process of the user before it returns.

scripts/e2e_wayland.sh installs the packages, builds the program, makes the user and holds the run's lock, then
runs this file.
"""

import argparse
import json
import os
import pwd
import shlex
import shutil
import signal
import subprocess
import sys
import time
import traceback

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import fixture_app  # noqa: E402
import run_e2e as shared  # noqa: E402
import run_e2e_linux as linux  # noqa: E402

TICK = shared.TICK
START_TIMEOUT = 20.0
SCREEN_SIZE = shared.SCREEN_SIZE
# The fixture's top-levels where the X11 run has them; sway centres floating windows, the run moves them there.
FIXTURE_PLACES = {"main": fixture_app.MAIN_PLACE[:2], "dialog": fixture_app.DIALOG_PLACE[:2],
                  "lone": fixture_app.LONE_PLACE[:2]}
# The line a Wayland session adds to the help box and says once on stderr (main_window/help_text.cpp).
WAYLAND_LINE = ("In a Wayland session Hovermark sees the windows of X11 programs (XWayland) only: the windows of "
                "native Wayland programs, and anything inside them, are invisible to it.")
# The "On top" switch of the main window's design, a picture button (120, 4080, 615 x 375 twips): its client
# rectangle in pixels.
ON_TOP_BOX = (8, 272, 41, 25)


class Session:
    """sway on the headless back end as `user`, with XWayland and a session bus; the programs it starts."""

    def __init__(self, user, run_dir):
        self.user = user
        self.account = pwd.getpwnam(user)
        self.run_dir = run_dir
        self.runtime = os.path.join(run_dir, "runtime")
        self.share = os.path.join(run_dir, "share")
        for path, mode in ((self.runtime, 0o700), (self.share, 0o755), (os.path.join(self.share, "home"), 0o700)):
            os.makedirs(path, mode=mode, exist_ok=True)
            os.chown(path, self.account.pw_uid, self.account.pw_gid)
        self.config = os.path.join(run_dir, "sway.config")
        self.launcher = os.path.join(run_dir, "launch.sh")
        self.sway = None
        self.socket = None
        self.environment = {}

    def write_files(self):
        with open(self.config, "w", encoding="utf-8") as config:
            config.write(f"xwayland enable\n"
                         f"output HEADLESS-1 resolution {SCREEN_SIZE[0]}x{SCREEN_SIZE[1]} position 0 0 "
                         f"bg #3B4A5A solid_color\n"
                         "default_border none\ndefault_floating_border none\nfocus_follows_mouse no\n"
                         "focus_on_window_activation focus\n")
        # Records the program's process id, its environment (the XWayland display is learnt there) and, once it
        # has ended, its exit code; the program itself is not sway's child but the shell's.
        with open(self.launcher, "w", encoding="utf-8") as launcher:
            launcher.write('#!/bin/sh\nshare=$1 name=$2\nshift 2\nenv >"$share/$name.env"\n'
                           '"$@" >"$share/$name.log" 2>&1 &\nchild=$!\necho "$child" >"$share/$name.pid"\n'
                           'wait "$child"\necho "$?" >"$share/$name.rc"\n')
        for path in (self.config, self.launcher):
            os.chmod(path, 0o755)

    def user_command(self, argv, environment=None):
        variables = [f"{name}={value}" for name, value in (environment or self.environment).items()]
        return ["runuser", "-u", self.user, "--", "env", *variables, *argv]

    def run(self, argv, timeout=15, data=None):
        """Runs a program as the user in the session's environment; its CompletedProcess (output as bytes)."""
        try:
            return subprocess.run(self.user_command(argv), cwd=self.share, input=data, capture_output=True,
                                  timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            return subprocess.CompletedProcess(argv, -1, expired.stdout or b"", b"timed out")

    def start(self):
        self.write_files()
        base = {"PATH": "/usr/bin:/bin", "HOME": os.path.join(self.share, "home"), "LANG": "C.UTF-8",
                "XDG_RUNTIME_DIR": self.runtime, "XDG_CONFIG_HOME": os.path.join(self.share, "home"),
                "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
                "NO_AT_BRIDGE": "0"}
        # The session bus and the accessibility bus end with sway: dbus-run-session ends its bus when sway exits.
        body = ("/usr/libexec/at-spi-bus-launcher --launch-immediately >\"$1/at-spi.log\" 2>&1 &\n"
                "exec sway -c \"$2\"")
        log = open(os.path.join(self.share, "sway.log"), "ab")
        self.sway = subprocess.Popen(self.user_command(["dbus-run-session", "--", "sh", "-c", body, "_", self.share,
                                                        self.config], base),
                                     cwd=self.share, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                     start_new_session=True)
        log.close()

        def socket():
            names = [name for name in os.listdir(self.runtime) if name.startswith("sway-ipc.")]
            return os.path.join(self.runtime, names[0]) if names else None

        self.socket = shared.poll(socket, timeout=START_TIMEOUT)
        self.environment = {"XDG_RUNTIME_DIR": self.runtime, "SWAYSOCK": self.socket or "", "LANG": "C.UTF-8",
                            "PATH": "/usr/bin:/bin", "HOME": os.path.join(self.share, "home")}
        return self.socket is not None and self.sway.poll() is None

    def swaymsg(self, *args):
        done = self.run(["swaymsg", "--raw", *args])
        try:
            return json.loads(done.stdout or b"null")
        except ValueError:
            return None

    def command(self, text):
        """A sway command; True when sway says every part of it succeeded."""
        answer = self.swaymsg(text)
        return isinstance(answer, list) and all(part.get("success") for part in answer)

    def launch(self, name, argv):
        """Starts a program through `swaymsg exec`, so it gets sway's environment: WAYLAND_DISPLAY, the XWayland
        DISPLAY and the session bus. Its process id once it runs, or None."""
        words = [self.launcher, self.share, name, *argv]
        # sway hands the command to sh -c after splitting it into words itself: keep every word plain.
        assert all(word and not set(word) & set(" \t'\"\\;,") for word in words), words
        for suffix in ("pid", "rc", "env"):
            if os.path.exists(self.path(f"{name}.{suffix}")):
                os.remove(self.path(f"{name}.{suffix}"))
        if not self.command("exec " + shlex.join(words)):
            return None
        pid = shared.poll(lambda: self.read(f"{name}.pid"), timeout=START_TIMEOUT)
        return int(pid) if pid else None

    def learn_environment(self, name):
        """Takes DISPLAY, WAYLAND_DISPLAY and the session bus from a program sway started."""
        text = shared.poll(lambda: self.read(f"{name}.env"), timeout=START_TIMEOUT) or ""
        found = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
        for variable in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            if variable in found:
                self.environment[variable] = found[variable]
        return found

    def path(self, name):
        return os.path.join(self.share, name)

    def read(self, name):
        try:
            with open(self.path(name), encoding="utf-8", errors="replace") as file:
                text = file.read()
        except FileNotFoundError:
            return None
        return text if text.endswith("\n") else None

    def exit_code(self, name):
        code = self.read(f"{name}.rc")
        return int(code) if code else None

    def user_processes(self):
        """Every process of the user, by id: the lock scripts/e2e_wayland.sh holds makes them this run's."""
        found = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    if os.stat(f"/proc/{entry}").st_uid == self.account.pw_uid:
                        found.append(int(entry))
                except FileNotFoundError:
                    continue
        return found

    @staticmethod
    def command_line(pid):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                return cmdline.read().decode(errors="replace").split("\0")
        except OSError:
            return []

    def stop(self):
        """Asks sway to end, then ends whatever of the user's is left: XWayland, the buses, the programs."""
        if self.sway is not None and self.sway.poll() is None and self.socket:
            self.command("exit")
            try:
                self.sway.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        for sig, grace in ((signal.SIGTERM, 3.0), (signal.SIGKILL, 3.0)):
            for pid in self.user_processes():
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            if not shared.poll(self.user_processes, lambda left: not left, grace):
                break
        if self.sway is not None and self.sway.poll() is None:
            self.sway.kill()
        if self.sway is not None:
            self.sway.wait(timeout=10)
        return self.user_processes()


def compositor_shot(session):
    """The compositor's own picture of its output (grim), as the pixel rules read it."""
    path = session.path("shot.png")
    done = session.run(["grim", "-t", "png", path], timeout=30)
    if done.returncode != 0:
        raise RuntimeError(f"grim failed: {done.stderr.decode(errors='replace').strip()}")
    with Image.open(path) as picture:
        rgb = picture.convert("RGB")
        return shared.Screenshot(rgb.width, rgb.height, rgb.tobytes())


class Fixture(linux.Fixture):
    """fixture_app.py, started inside the session; its info and command files lie in the user's folder."""

    # Not the X11 run's constructor: that one starts the fixture as a child of the harness.
    def __init__(self, session, script):
        self.info_path = session.path("fixture-info.txt")
        self.command_path = session.path("fixture-command.txt")
        self.pid = session.launch("fixture", ["/usr/bin/python3", script, self.info_path, self.command_path])
        self.info = {}


class Run:
    def __init__(self, options):
        self.options = options
        self.report = shared.Report(options.work_dir)
        self.session = Session(options.user, options.run_dir)
        self.fixture = None
        self.hovermark_pid = None
        self.hovermark_window = None
        self.baseline = None
        self.sentinel_owner = None

    # --- the desktop, as the user ---

    def xdotool(self, *args):
        done = self.session.run(["xdotool", *args])
        return done.stdout.decode(errors="replace")

    def pointer(self):
        values = dict(part.split(":", 1) for part in self.xdotool("getmouselocation").split() if ":" in part)
        try:
            return int(values["x"]), int(values["y"])
        except (KeyError, ValueError):
            return None

    def move_pointer(self, x, y):
        self.xdotool("mousemove", str(x), str(y))
        return shared.poll(self.pointer, lambda where: where == (x, y), 2.0)

    def visible_windows(self, title):
        return [int(word) for word in self.xdotool("search", "--onlyvisible", "--name", shared.exact(title)).split()]

    def focus(self, window):
        # sway gives the focus; XWayland follows it.
        self.session.command(f"[id={window}] focus")
        shared.poll(lambda: self.xdotool("getwindowfocus").strip(), lambda found: found == str(window), 2.0)

    def key(self, *names):
        self.xdotool("key", "--clearmodifiers", *names)

    def shot(self):
        return compositor_shot(self.session)

    def shot_until(self, problems_of, timeout=3.0):
        def probe():
            shot = self.shot()
            return shot, problems_of(shot)

        return shared.poll(probe, lambda result: not result[1], timeout=timeout, interval=0.05)

    def clipboard(self):
        done = self.session.run(["xclip", "-selection", "clipboard", "-o", "-t", "UTF8_STRING"], timeout=5)
        return done.stdout if done.returncode == 0 else None

    def put_sentinel(self):
        """A foreground xclip, as the user, owns the clipboard with the sentinel until Hovermark takes it."""
        sentinel = shared.SENTINEL.encode()
        owner = subprocess.Popen(self.session.user_command(["xclip", "-selection", "clipboard", "-i", "-t",
                                                            "UTF8_STRING", "-quiet"]),
                                 cwd=self.session.share, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        owner.stdin.write(sentinel)
        owner.stdin.close()
        self.sentinel_owner = owner
        return shared.poll(self.clipboard, lambda text: text == sentinel, 3.0) == sentinel

    def copy_until(self, expected, timeout=5.0):
        seen = None

        def attempt():
            nonlocal seen
            if not self.put_sentinel():
                seen = b"(xclip could not set the sentinel)"
                return False
            self.focus(self.hovermark_window)
            self.key("ctrl+c")
            seen = shared.poll(self.clipboard, lambda text: text not in (None, shared.SENTINEL.encode()), 1.0)
            return seen == expected.encode()

        shared.poll(attempt, timeout=timeout, interval=TICK)
        return seen

    def check_clipboard(self, expected, what, timeout=5.0):
        seen = self.copy_until(expected, timeout)
        return self.report.check(seen == expected.encode(), what, shared.show_bytes(expected.encode()),
                                 shared.show_bytes(seen))

    def check_frame(self, what, name="button"):
        rect = self.fixture.rect(name)
        if name == "button":
            shot, problems = self.shot_until(lambda shot: shared.frame_problems(shot, rect, 2, self.baseline))
        else:
            shot, problems = self.shot_until(lambda shot: linux.ring_problems(shot, rect, 2))
        self.report.check(not problems, what, f"a 2-pixel red/golden ring on the {name}'s edge {rect}",
                          "; ".join(problems), shot if problems else None)
        return shot

    def hovermark_running(self):
        return self.hovermark_pid is not None and self.session.exit_code("hovermark") is None

    # --- groups ---

    def group(self, title, body, needs_hovermark=True):
        self.report.group = f"wayland: {title}"
        print(f"== wayland: {title}", flush=True)
        if needs_hovermark and not self.hovermark_running():
            self.report.check(False, "not run: Hovermark is not running", "running",
                              f"exit code {self.session.exit_code('hovermark')}")
            return
        try:
            body()
        except shared.CheckFailed as failure:
            print(f"  (rest of the group left out after: {failure})", flush=True)
        except Exception:  # a broken step is a failed group, not a crashed run
            self.report.check(False, "the group ran into an error", seen=traceback.format_exc().strip())

    def session_and_fixture(self):
        report = self.report
        session = self.session
        report.require(session.start(), "sway starts on its headless back end as the run's user",
                       "an IPC socket", f"see {session.path('sway.log')}")
        version = session.swaymsg("-t", "get_version") or {}
        print(f"       (sway {version.get('human_readable', '?')})", flush=True)
        outputs = session.swaymsg("-t", "get_outputs") or []
        sizes = [(output["rect"]["width"], output["rect"]["height"]) for output in outputs]
        report.check(sizes == [SCREEN_SIZE], "one headless output of the screen's size", [SCREEN_SIZE], sizes)

        script = os.path.join(session.run_dir, "fixture_app.py")
        shutil.copy(fixture_app.__file__, script)
        os.chmod(script, 0o755)
        self.fixture = fixture = Fixture(session, script)
        report.require(fixture.pid, "swaymsg exec starts the X fixture")
        environment = session.learn_environment("fixture")
        report.check(environment.get("WAYLAND_DISPLAY", "").startswith("wayland-"),
                     "the programs sway starts are in a Wayland session", "WAYLAND_DISPLAY=wayland-N",
                     environment.get("WAYLAND_DISPLAY"))
        report.require(environment.get("DISPLAY", "").startswith(":"), "sway hands them its XWayland display",
                       "DISPLAY=:N", environment.get("DISPLAY"))
        info = shared.poll(lambda: fixture.read_info().get("button_rect"), timeout=START_TIMEOUT)
        report.require(info, "the fixture runs on XWayland and writes its windows' places", fixture.info_path,
                       session.read("fixture.log") or "no info file")
        display = environment["DISPLAY"]
        servers = [pid for pid in session.user_processes() if session.command_line(pid)[:2] == ["Xwayland", display]]
        report.check(len(servers) == 1, f"the display {display} is served by Xwayland, as the user",
                     f"one 'Xwayland {display}' process", servers)
        clients = session.swaymsg("-t", "get_tree") or {}
        shells = set()
        pending = [clients]
        while pending:
            node = pending.pop()
            if node.get("shell"):
                shells.add(node["shell"])
            pending.extend(node.get("nodes", []) + node.get("floating_nodes", []))
        report.check(shells == {"xwayland"}, "sway shows the fixture's windows as XWayland windows", {"xwayland"},
                     shells)

        for name, (x, y) in FIXTURE_PLACES.items():
            session.command(f"[id={fixture.id(name)}] move absolute position {x} {y}")
        wanted = {name: (x, y) for name, (x, y) in FIXTURE_PLACES.items()}
        placed = shared.poll(lambda: {name: fixture.read_info() and fixture.rect(name)[:2] for name in wanted},
                             lambda found: found == wanted, 5.0)
        report.require(placed == wanted, "sway moves the fixture's windows where the X11 run has them", wanted,
                       placed)

        def colours(shot):
            button = fixture.rect("button")
            return {"main": shot.pixel(*fixture.centre("main")), "lone": shot.pixel(*fixture.centre("lone")),
                    "panel": shot.pixel(fixture.rect("panel")[0] + 5, fixture.rect("panel")[1] + 5),
                    "button edge": shot.pixel(button[0], button[1]),
                    "button face": shot.pixel(button[0] + 3, button[1] + 3)}

        expected = {"main": fixture_app.MAIN_COLOUR, "lone": fixture_app.LONE_COLOUR,
                    "panel": fixture_app.PANEL_COLOUR, "button edge": fixture_app.BUTTON_EDGE_COLOUR,
                    "button face": fixture_app.BUTTON_FACE_COLOUR}
        shot, seen = shared.poll(lambda: (lambda shot: (shot, colours(shot)))(self.shot()),
                                 lambda result: result[1] == expected, 10.0)
        report.check((shot.width, shot.height) == SCREEN_SIZE and seen == expected,
                     "grim's picture of the output shows the fixture's colours where it says its windows are",
                     expected, seen, None if seen == expected else shot)
        target = fixture.centre("button")
        where = self.move_pointer(*target)
        report.require(where == target, "xdotool moves XWayland's pointer onto the button", target, where)
        time.sleep(3 * TICK)
        self.baseline = self.shot()

    def start_hovermark(self):
        report = self.report
        session = self.session
        binary = os.path.join(session.run_dir, "hovermark")
        shutil.copy(os.path.join(self.options.build_dir, "hovermark"), binary)
        os.chmod(binary, 0o755)
        # Started with the pointer on the lone window, where the frame first appears.
        lone = self.fixture.centre("lone")
        report.require(self.move_pointer(*lone) == lone, "the pointer moves onto the lone window")
        # As with a screen reader running: Qt describes its windows on the accessibility bus when IsEnabled is true
        # as it starts, and the help box's text is read there.
        enabled = session.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                               "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                               "variant:boolean:true"])
        report.check(enabled.returncode == 0, "the session's accessibility bus answers; IsEnabled is set", 0,
                     enabled.stderr.decode(errors="replace").strip())
        self.hovermark_pid = session.launch("hovermark", [binary])
        report.require(self.hovermark_pid, "swaymsg exec starts Hovermark")
        windows = shared.poll(lambda: self.visible_windows(shared.HOVERMARK_TITLE), timeout=START_TIMEOUT)
        report.require(len(windows) == 1, f"one visible window titled {shared.HOVERMARK_TITLE!r} on XWayland", 1,
                       f"{len(windows)}; hovermark.log: {session.read('hovermark.log')}")
        self.hovermark_window = windows[0]
        log = session.read("hovermark.log") or ""
        count = log.count(WAYLAND_LINE)
        report.check(count == 1 and f"hovermark: {WAYLAND_LINE}\n" in log,
                     "stderr says once that native Wayland windows are invisible to Hovermark",
                     f"'hovermark: {WAYLAND_LINE}' once", f"{count} times in {log!r}")
        # The frame's very first appearance: bars that grow out of their empty shape while mapped showed only
        # their first pixel under sway until they were mapped afresh at their new size.
        rect = self.fixture.rect("lone")
        shot, problems = self.shot_until(lambda found: linux.ring_problems(found, rect, 2))
        report.check(not problems, "the frame's first appearance, on the lone window, is whole in grim's picture",
                     "a 2-pixel red and golden ring", "; ".join(problems), shot)

    def chain(self):
        self.move_pointer(*self.fixture.centre("button"))
        self.check_clipboard(self.fixture.rows(*linux.BUTTON_CHAIN),
                             "Ctrl+C copies the button, its panel, its dialog and the dialog's owner, byte for byte")
        self.check_frame("the 2-pixel frame lies on the button's outermost pixels, in grim's picture")

    def on_top_box(self, shot):
        left, top, _, _ = self.hovermark_rect()
        x, y, width, height = ON_TOP_BOX
        return shot.crop(left + x, top + y, left + x + width, top + y + height).rgb

    def hovermark_rect(self):
        values = dict(line.split("=", 1) for line in self.xdotool("getwindowgeometry", "--shell",
                                                                  str(self.hovermark_window)).split() if "=" in line)
        left, top = int(values["X"]), int(values["Y"])
        return left, top, left + int(values["WIDTH"]), top + int(values["HEIGHT"])

    def stay_on_top(self):
        """F8 flips the "On top" switch (its pixels, in grim's picture) and back; what the window manager makes of
        _NET_WM_STATE_ABOVE is sway's affair: the list and the frame go on as before."""
        report = self.report
        before = self.on_top_box(self.shot())
        self.focus(self.hovermark_window)
        self.key("F8")
        flipped = shared.poll(lambda: self.on_top_box(self.shot()), lambda box: box != before, 3.0)
        report.check(flipped != before, "F8 releases the \"On top\" switch", "its pixels change", "unchanged")
        self.key("F8")
        back = shared.poll(lambda: self.on_top_box(self.shot()), lambda box: box == before, 3.0)
        report.check(back == before, "F8 again presses it: the switch looks as at the start", "as at the start",
                     "different")
        state = self.session.run(["xprop", "-id", str(self.hovermark_window), "_NET_WM_STATE"]).stdout
        print(f"       (sway's _NET_WM_STATE on the main window: {state.decode(errors='replace').strip()})",
              flush=True)
        self.check_clipboard(self.fixture.rows(*linux.BUTTON_CHAIN), "after F8 Ctrl+C still copies the button")
        self.check_frame("after F8 the frame is still on the button")

    def pause(self):
        report = self.report
        fixture = self.fixture
        self.move_pointer(*fixture.centre("button"))
        self.check_clipboard(fixture.rows(*linux.BUTTON_CHAIN), "running: the list shows the button")
        self.focus(self.hovermark_window)
        self.key("p")
        time.sleep(3 * TICK)
        lone = fixture.centre("lone")
        where = self.move_pointer(*lone)
        report.check(where == lone, "the pointer moves onto the lone window", lone, where)
        time.sleep(5 * TICK)
        self.check_clipboard(fixture.rows(*linux.BUTTON_CHAIN), "paused with P: the list still shows the button",
                             timeout=1.0)
        self.check_frame("paused: the frame stays on the button")
        self.focus(self.hovermark_window)
        self.key("p")
        self.check_clipboard(fixture.row("lone"), "P again: the list shows the lone window alone")
        self.check_frame("resumed: the frame lies on the lone window", "lone")
        self.move_pointer(*fixture.centre("button"))

    def help_box(self):
        """F1's box, its text read from the accessibility bus: the Wayland line, once."""
        report = self.report
        session = self.session
        self.focus(self.hovermark_window)
        self.key("F1")
        boxes = shared.poll(lambda: self.visible_windows(shared.HELP_TITLE), timeout=5)
        report.require(len(boxes) == 1, f"F1 shows one window titled {shared.HELP_TITLE!r}", 1, len(boxes))

        def names():
            done = session.run(["/usr/bin/python3", os.path.join(session.run_dir, "read_tree.py"),
                                str(self.hovermark_pid)], timeout=30)
            return [line.split("\t")[3] for line in done.stdout.decode(errors="replace").splitlines()
                    if line.count("\t") >= 3]

        found = shared.poll(names, lambda seen: any(shared.HELP_TITLE in name for name in seen)
                            and any("F7" in name for name in seen), 10.0)
        texts = [name for name in found if "F7" in name]
        report.check(len(texts) == 1 and texts[0].count(WAYLAND_LINE) == 1,
                     "the help box's text holds the Wayland line once (read on the accessibility bus)",
                     WAYLAND_LINE, texts or f"{len(found)} elements, none with the help text")
        self.focus(boxes[0])
        self.key("Return")
        left = shared.poll(lambda: self.visible_windows(shared.HELP_TITLE), lambda found: not found, 5)
        report.check(not left, "Enter closes the help box", "no visible help box", f"{len(left)} visible")

    def exit_button(self):
        report = self.report
        left, top, _, _ = self.hovermark_rect()
        x, y, width, height = shared.EXIT_BUTTON
        self.move_pointer(left + x + width // 2, top + y + height // 2)
        self.xdotool("click", "1")
        code = shared.poll(lambda: self.session.exit_code("hovermark"), lambda found: found is not None, 10.0)
        report.check(code == 0, "the Exit button ends Hovermark with exit code 0 within 10 s", 0, code)
        left_behind = shared.poll(lambda: self.visible_windows(shared.HOVERMARK_TITLE), lambda found: not found, 3.0)
        report.check(not left_behind, "no window of Hovermark's is left", [], left_behind)

    def stop(self):
        if self.sentinel_owner is not None and self.sentinel_owner.poll() is None:
            self.sentinel_owner.kill()
            self.sentinel_owner.wait(timeout=10)
        if self.fixture is not None and self.fixture.pid:
            self.fixture.command("quit")
            code = shared.poll(lambda: self.session.exit_code("fixture"), lambda found: found is not None, 3.0)
            self.report.check(code == 0, "the fixture ends on its quit command", 0, code)
        left = self.session.stop()
        self.report.check(not left, "sway, XWayland and every process of the user are gone", [], left)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/linux")
    parser.add_argument("--work-dir", default="build/e2e-wayland-run")
    parser.add_argument("--run-dir", required=True, help="a folder the user can read (the session's files)")
    parser.add_argument("--user", required=True, help="the unprivileged user sway runs as")
    options = parser.parse_args()
    os.makedirs(options.work_dir, exist_ok=True)
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))
    shutil.copy(os.path.join(HERE, "..", "atspi", "read_tree.py"), options.run_dir)

    run = Run(options)
    started = time.monotonic()
    try:
        run.group("sway, XWayland and the X fixture", run.session_and_fixture, needs_hovermark=False)
        run.group("start", run.start_hovermark, needs_hovermark=False)
        run.group("the chain under the pointer", run.chain)
        run.group("F8: stay on top", run.stay_on_top)
        run.group("P: pause and resume", run.pause)
        run.group("F1: the help box", run.help_box)
        run.group("exit with the Exit button", run.exit_button)
    finally:
        run.report.group = "wayland: the end"
        run.stop()
    report = run.report
    print(f"\nthe Wayland run took {time.monotonic() - started:.0f} s")
    for failure in report.failed:
        print(f"  FAILED {failure}")
    print(f"{report.passed} passed, {len(report.failed)} failed", flush=True)
    return 1 if report.failed or report.passed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
