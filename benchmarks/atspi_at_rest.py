#!/usr/bin/python3
"""The measuring half of benchmarks/atspi_at_rest.sh, which starts the display, the window manager and, for each
build, a session bus of its own.

"measure" takes one hovermark and measures it under a fresh accessibility bus: the CPU time of Hovermark, of the
accessibility bus's daemon, of its registry and of a GTK 3 application with the pointer at rest on the
application's button, in window mode and then with the mode on (F7); the method calls Hovermark's connections
send over the accessibility bus, read by a monitor of that bus, at rest over a GTK 3 button, at rest over an X
client that no application stands for, and in the second after the pointer moved to another element; then, with
a second Hovermark that has never had the mode on, a browser's page of about 45,000 accessible objects: its
memory before and after the mode went on over the page, the slowest Ctrl+C at the first contact, and its CPU
time a reload of the page with the mode off, before the mode was ever on and after it was once on. The figures
go to a JSON file. "table" prints those files side by side. Prints figures; checks nothing.
"""

import argparse
import glob
import json
import os
import select
import signal
import subprocess
import sys
import time

import dbus

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e_linux"))
import run_e2e as shared  # noqa: E402
from x_desktop import Clipboard, Processes, XView  # noqa: E402

PYTHON = "/usr/bin/python3"
GTK3_FIXTURE = os.path.join(HERE, "..", "tests", "atspi", "gtk3_fixture.py")
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TICKS_PER_SECOND = 10
WARM_UP_SECONDS = 3
START_TIMEOUT = 20.0
CALL_TIMEOUT = 5
# Places on the 1280 x 1024 screen, clear of each other: the GTK 3 application measured for CPU, the one the
# calls are counted over, the X client, Hovermark's main window, and, for the page, the browser above all of
# them and a spot of bare desktop beside Hovermark.
GTK3_PLACE = (20, 20)
GTK3_BUS_ONLY_PLACE = (560, 20)
X_CLIENT_GEOMETRY = "400x200+20+400"
HOVERMARK_PLACE = (520, 690)
BROWSER_SIZE = (1280, 660)
BARE_DESKTOP = (100, 900)
ON_THE_PAGE = (200, 300)
# The page: a list of links, each item and its link two accessible objects.
PAGE_ITEMS = 22500
PAGE_TITLE = "Hovermark big page"
BROWSER_START_SECONDS = 90.0
# Ctrl+C again and again for this long from the first contact with the page.
CONTACT_SECONDS = 5.0
COPY_WAIT_SECONDS = 5.0
RELOADS = 5
# A reload has settled once the browser and Hovermark together took less than QUIET_MS of CPU in a second.
QUIET_MS = 40
RELOAD_TIMEOUT = 45.0
WALK_TIMEOUT = 120.0


def group_cpu_microseconds(group):
    """The CPU time of every process of a process group: a browser and its helpers."""
    total = 0
    for stat_path in glob.glob("/proc/[0-9]*/stat"):
        try:
            with open(stat_path) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if int(fields[2]) == group:
            total += shared.cpu_microseconds(int(stat_path.split("/")[2]))
    return total


def memory_kib(pid):
    """VmRSS and VmHWM from /proc/PID/status, in KiB."""
    values = {}
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                key, _, rest = line.partition(":")
                if key in ("VmRSS", "VmHWM"):
                    values[key] = int(rest.split()[0])
    except OSError:
        pass
    return values


def children_named(pid, name):
    found = []
    for path in glob.glob(f"/proc/{pid}/task/*/children"):
        try:
            with open(path) as children:
                found += [int(child) for child in children.read().split()]
        except OSError:
            pass
    named = []
    for child in found:
        try:
            with open(f"/proc/{child}/comm") as comm:
                if comm.read().strip() == name:
                    named.append(child)
        except OSError:
            pass
    return named


def is_enabled(session):
    """The accessibility bus's org.a11y.Status IsEnabled, on the session bus: True, False or None."""
    try:
        return bool(session.get_object("org.a11y.Bus", "/org/a11y/bus").Get(
            "org.a11y.Status", "IsEnabled", dbus_interface="org.freedesktop.DBus.Properties", timeout=CALL_TIMEOUT))
    except dbus.DBusException:
        return None


class AccessibilityBus:
    """This run's accessibility bus, asked on a connection of the benchmark's own."""

    def __init__(self, session):
        # Asked before the launcher holds its name, the session bus would start a launcher of its own.
        shared.poll(lambda: self.launcher_ready(session), timeout=START_TIMEOUT)
        self.address = shared.poll(lambda: self.ask_address(session), timeout=START_TIMEOUT)
        if not self.address:
            sys.exit("the accessibility bus did not answer")
        self.connection = dbus.bus.BusConnection(self.address)
        self.driver = self.connection.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus")

    @staticmethod
    def launcher_ready(session):
        try:
            return bool(session.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus").NameHasOwner(
                "org.a11y.Bus", dbus_interface="org.freedesktop.DBus", timeout=CALL_TIMEOUT))
        except dbus.DBusException:
            return False

    @staticmethod
    def ask_address(session):
        try:
            return str(session.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(
                dbus_interface="org.a11y.Bus", timeout=CALL_TIMEOUT))
        except dbus.DBusException:
            return None

    def ask(self, method, *args):
        try:
            return getattr(self.driver, method)(*args, dbus_interface="org.freedesktop.DBus", timeout=CALL_TIMEOUT)
        except dbus.DBusException:
            return None

    def pid_of(self, name):
        pid = self.ask("GetConnectionUnixProcessID", name)
        return int(pid) if pid is not None else None

    def connections_of(self, pid):
        """The unique names of every connection the process has on the bus now."""
        return {str(name) for name in self.ask("ListNames") or [] if name.startswith(":") and self.pid_of(name) == pid}

    def direct_address(self, pid):
        """What the application's GetApplicationBusAddress answers: the address of its direct connections, empty
        when it offers none; None when it did not answer."""
        for name in self.connections_of(pid):
            try:
                return str(self.connection.get_object(name, "/org/a11y/atspi/accessible/root", introspect=False)
                           .GetApplicationBusAddress(dbus_interface="org.a11y.atspi.Application",
                                                     timeout=CALL_TIMEOUT))
            except dbus.DBusException:
                continue
        return None

    def owner(self, name):
        owner = self.ask("GetNameOwner", name)
        return str(owner) if owner is not None else None


class Monitor:
    """dbus-monitor on the accessibility bus, writing every method call as one line with its time, sender and
    destination to a file."""

    def __init__(self, processes, bus, path):
        self.path = path
        with open(path, "wb") as out:
            self.process = subprocess.Popen(["dbus-monitor", "--address", bus.address, "--profile",
                                             "type='method_call'"], stdin=subprocess.DEVNULL, stdout=out,
                                            stderr=subprocess.DEVNULL)
        processes.started.append(self.process)
        # It prints its header once it monitors.
        shared.poll(lambda: os.path.getsize(path) > 0, timeout=START_TIMEOUT)

    def calls(self):
        """(time, sender, destination, interface, member) of each method call seen so far."""
        found = []
        with open(self.path, encoding="utf-8", errors="replace") as lines:
            for line in lines:
                fields = line.rstrip("\n").split("\t")
                if fields[0] == "mc" and len(fields) >= 8:
                    found.append((float(fields[1]), fields[3], fields[4], fields[6], fields[7]))
        return found


class Desktop:
    """The programs of one build's measurement on the shared display: what it started, the pointer and keys."""

    def __init__(self, work_dir):
        self.work_dir = work_dir
        self.processes = Processes(work_dir)
        self.clipboard = Clipboard(self.processes)
        self.x = XView()
        self.launcher = None

    def place(self, window, x, y):
        frame = self.x.top_ancestor(window)
        shared.xdotool("windowmove", "--sync", str(frame), str(x), str(y))
        shared.poll(lambda: self.x.rect(frame)[:2], lambda at: at == (x, y), 5.0)

    def centre(self, window):
        left, top, right, bottom = self.x.rect(window)
        return (left + right) // 2, (top + bottom) // 2

    def activate(self, window):
        shared.xdotool("windowactivate", "--sync", str(window), timeout=10)

    def start_hovermark(self, name, exe):
        process = self.processes.start(name, [exe])
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(shared.HOVERMARK_TITLE)),
                              timeout=START_TIMEOUT)
        if not windows:
            sys.exit(f"Hovermark did not start: {exe} (see {name}.log)")
        self.place(windows[0], *HOVERMARK_PLACE)
        return process, windows[0]

    def switch_mode(self, session, window, on):
        """F7 on Hovermark's window; IsEnabled, which Hovermark sets while the mode is on, tells it went."""
        self.activate(window)
        shared.key("F7")
        enabled = shared.poll(lambda: is_enabled(session), lambda value: value is on, 3.0)
        if enabled is not on:
            print(f"  (F7: IsEnabled is {enabled}, not {on}: the figures after this are not the mode's)", flush=True)

    def timed_copy(self):
        """Ctrl+C once, on the window that has the focus: the seconds until the clipboard changed, and what it
        held then (None if it did not change within COPY_WAIT_SECONDS)."""
        sentinel = shared.SENTINEL.encode()
        self.clipboard.put(sentinel)
        asked = time.monotonic()
        shared.key("ctrl+c")
        seen = shared.poll(self.clipboard.read, lambda text: text not in (None, sentinel), COPY_WAIT_SECONDS, 0.02)
        return time.monotonic() - asked, None if seen in (None, sentinel) else seen

    def list_shows(self, window):
        self.activate(window)
        _, copied = self.timed_copy()
        first = (copied or b"").split(b"\r\n")[0]
        return shared.show_bytes(first) if copied is not None else "(no answer)"

    def stop(self):
        self.processes.stop_all()
        self.x.close()


class Gtk3Application:
    """The GTK 3 fixture application: its pid, X window and controls' rectangles, from its first line."""

    def __init__(self, desktop, name, place, environment=None):
        log = open(os.path.join(desktop.work_dir, f"{name}.log"), "ab")
        self.process = subprocess.Popen([PYTHON, GTK3_FIXTURE, str(place[0]), str(place[1])],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log, text=True,
                                        env=environment)
        log.close()
        desktop.processes.started.append(self.process)
        ready = select.select([self.process.stdout], [], [], START_TIMEOUT)[0]
        line = self.process.stdout.readline() if ready else ""
        if not line:
            sys.exit(f"the {name} application said nothing; see {name}.log")
        self.info = json.loads(line)
        self.pid = self.info["pid"]

    def centre(self, control):
        x, y, width, height = self.info["controls"][control]
        return x + width // 2, y + height // 2


def bus_only_environment(work_dir):
    """An environment in which a GTK 3 application offers no direct connection: its bridge's socket would lie
    inside XDG_RUNTIME_DIR, and a path longer than a Unix socket's 108 bytes cannot be listened on. Every call to
    it then crosses the bus, where the monitor sees it, whether or not the reader would have gone direct."""
    runtime = os.path.join(os.path.abspath(work_dir), "runtime-for-no-direct-connection-" + "x" * 100)
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    return dict(os.environ, XDG_RUNTIME_DIR=runtime)


def count_calls(calls, senders, destinations, start, end):
    """The calls sent by any of senders between start and end, by what received them."""
    counted = {"application": 0, "registry": 0, "bus daemon": 0, "members": {}}
    for when, sender, destination, interface, member in calls:
        if sender not in senders or not start <= when < end:
            continue
        kind = destinations.get(destination, "application")
        counted[kind] += 1
        counted["members"][member] = counted["members"].get(member, 0) + 1
    counted["all"] = counted["application"] + counted["registry"] + counted["bus daemon"]
    return counted


def measure_at_rest(desktop, session, bus, label, exe, seconds):
    """Window mode and the mode on over a GTK 3 button: CPU; then the calls on the bus."""
    figures = {}
    direct = Gtk3Application(desktop, f"{label}-gtk3", GTK3_PLACE)
    bus_only = Gtk3Application(desktop, f"{label}-gtk3-bus-only", GTK3_BUS_ONLY_PLACE,
                               bus_only_environment(desktop.work_dir))
    x_client = desktop.processes.start(f"{label}-xmessage", ["xmessage", "-geometry", X_CLIENT_GEOMETRY,
                                                             "An X client that describes nothing"])
    # xmessage tells no process id: found by its class.
    found = shared.poll(lambda: shared.xdotool("search", "--onlyvisible", "--classname", "xmessage").stdout.split(),
                        timeout=START_TIMEOUT)
    x_client_window = int(found[0]) if found else None
    hovermark, window = desktop.start_hovermark(f"{label}-hovermark", exe)
    registry = shared.poll(lambda: bus.pid_of("org.a11y.atspi.Registry"), timeout=START_TIMEOUT)
    daemon = shared.poll(lambda: children_named(desktop.launcher.pid, "dbus-daemon"), timeout=START_TIMEOUT)
    pids = {"hovermark": hovermark.pid, "a11y bus": daemon[0] if daemon else None, "registry": registry,
            "GTK 3 app": direct.pid}
    print("processes: " + ", ".join(f"{name} {pid}" for name, pid in pids.items()), flush=True)
    figures["direct address"] = shared.poll(lambda: bus.direct_address(bus_only.pid), lambda found: found is not None,
                                            timeout=5.0)

    cpu = {}
    for mode in ("window mode", "looking inside"):
        if mode == "looking inside":
            desktop.switch_mode(session, window, True)
        shared.move_pointer(*direct.centre("button"))
        time.sleep(WARM_UP_SECONDS)
        before = {name: shared.cpu_microseconds(pid) for name, pid in pids.items() if pid}
        time.sleep(seconds)
        cpu[mode] = {name: shared.cpu_microseconds(pid) - before[name] for name, pid in pids.items() if pid}
    figures["cpu"] = cpu

    monitor = Monitor(desktop.processes, bus, os.path.join(desktop.work_dir, f"{label}-calls.txt"))
    senders = set()
    periods = {}

    def counted_period(name, body):
        senders.update(bus.connections_of(hovermark.pid))
        start = time.time()
        body()
        periods[name] = (start, time.time())
        senders.update(bus.connections_of(hovermark.pid))

    button, entry = bus_only.centre("button"), bus_only.centre("entry")
    shared.move_pointer(*button)
    time.sleep(WARM_UP_SECONDS)
    counted_period("at rest over a GTK 3 button", lambda: time.sleep(seconds))
    shows = {"at rest over a GTK 3 button": desktop.list_shows(window)}
    moves = max(1, seconds // 2) * 2

    def move_to_and_fro():
        for turn in range(moves):
            moved = time.monotonic()
            shared.move_pointer(*(entry if turn % 2 == 0 else button))
            time.sleep(max(0.0, 1.0 - (time.monotonic() - moved)))

    counted_period("after a move", move_to_and_fro)
    if x_client_window:
        shared.move_pointer(*desktop.centre(x_client_window))
        time.sleep(WARM_UP_SECONDS)
        counted_period("at rest over an X client", lambda: time.sleep(seconds))
        shows["at rest over an X client"] = desktop.list_shows(window)
    time.sleep(0.5)
    calls = monitor.calls()
    # A sender seen that the lists before and after each period missed, should it still be connected.
    unknown = {sender for _, sender, _, _, _ in calls} - senders
    senders.update(sender for sender in unknown if bus.pid_of(sender) == hovermark.pid)
    destinations = {"org.freedesktop.DBus": "bus daemon", "org.a11y.atspi.Registry": "registry"}
    registry_name = bus.owner("org.a11y.atspi.Registry")
    if registry_name:
        destinations[registry_name] = "registry"
    figures["connections"] = len(senders)
    figures["calls"] = {name: count_calls(calls, senders, destinations, *period) for name, period in periods.items()}
    figures["ticks"] = {name: (end - start) * TICKS_PER_SECOND for name, (start, end) in periods.items()}
    figures["moves"] = moves
    figures["shows"] = shows
    for process in (hovermark, x_client):
        Processes.stop(process)
    for application in (direct, bus_only):
        if application.process.poll() is None:
            application.process.stdin.write("quit\n")
            application.process.stdin.flush()
            try:
                application.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
    return figures


def write_page(path):
    """PAGE_ITEMS list items, each holding a link: with the document and the list, about 45,000 objects. Its
    title takes the time it loaded, so that each reload's end shows in the window's title."""
    items = "\n".join(f'<li><a href="#item{n}">Item {n} of the long list</a></li>' for n in range(PAGE_ITEMS))
    with open(path, "w", encoding="utf-8") as page:
        page.write(f"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>{PAGE_TITLE}</title>
<style>body {{ margin: 12px; font: 16px sans-serif; }} * {{ animation: none !important; }}</style>
<script>addEventListener("load", () => {{ document.title = "{PAGE_TITLE}, loaded " + Date.now(); }});</script>
</head><body><ul>
{items}
</ul></body></html>
""")


class Browser:
    """Firefox ESR on the page, in a process group of its own, with accessibility on from its start whatever
    IsEnabled says, so that the page is described alike before and after Hovermark's mode was on."""

    def __init__(self, desktop, label, page):
        self.desktop = desktop
        profile = os.path.join(desktop.work_dir, f"{label}-firefox-profile")
        os.makedirs(profile, exist_ok=True)
        with open(os.path.join(profile, "user.js"), "w", encoding="utf-8") as prefs:
            for key, value in (("browser.shell.checkDefaultBrowser", "false"),
                               ("browser.startup.homepage_override.mstone", '"ignore"'),
                               ("browser.aboutwelcome.enabled", "false"),
                               ("datareporting.policy.dataSubmissionEnabled", "false"),
                               ("datareporting.policy.dataSubmissionPolicyBypassNotification", "true"),
                               ("toolkit.telemetry.reportingpolicy.firstRun", "false"),
                               ("browser.startup.upgradeDialog.enabled", "false"),
                               ("browser.sessionstore.resume_from_crash", "false"),
                               ("app.update.enabled", "false")):
                prefs.write(f"user_pref({json.dumps(key)}, {value});\n")
        with open(os.path.join(desktop.work_dir, f"{label}-firefox.log"), "ab") as log:
            self.process = subprocess.Popen(["firefox-esr", "--no-remote", "--profile", profile, "-width",
                                             str(BROWSER_SIZE[0]), "-height", str(BROWSER_SIZE[1]), "file://" + page],
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True,
                                            env=dict(os.environ, GNOME_ACCESSIBILITY="1"))
        self.window = None

    def title(self):
        if self.window is None:
            found = shared.xdotool("search", "--onlyvisible", "--pid", str(self.process.pid)).stdout.split()
            for window in map(int, found):
                if (self.desktop.x.property(window, "_NET_WM_NAME") or b"").startswith(PAGE_TITLE.encode()):
                    self.window = window
        if self.window is None:
            return ""
        return (self.desktop.x.property(self.window, "_NET_WM_NAME") or b"").decode("utf-8", "replace")

    def loaded(self):
        """The page's load time from the title, once it has loaded; None before."""
        title = self.title()
        marker = title.partition(", loaded ")[2].split(" ")[0]
        return marker or None

    def cpu(self):
        return group_cpu_microseconds(self.process.pid)

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
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def reload_costs(desktop, browser, hovermark, daemon):
    """RELOADS reloads (F5 in the browser), each measured from the key until the browser and Hovermark have
    settled: Hovermark's, the browser's and the bus daemon's CPU, and the seconds it took."""
    costs = []
    for _ in range(RELOADS):
        desktop.activate(browser.window)
        shared.move_pointer(*ON_THE_PAGE)
        previous = browser.loaded()
        before = (shared.cpu_microseconds(hovermark.pid), browser.cpu(), shared.cpu_microseconds(daemon))
        pressed = time.monotonic()
        shared.key("F5")
        settled = False
        window = [sum(before[:2])]
        while time.monotonic() - pressed < RELOAD_TIMEOUT:
            time.sleep(0.25)
            window.append(shared.cpu_microseconds(hovermark.pid) + browser.cpu())
            window = window[-5:]
            quiet = len(window) == 5 and window[-1] - window[0] < QUIET_MS * 1000
            if quiet and browser.loaded() not in (None, previous):
                settled = True
                break
        took = time.monotonic() - pressed
        spent = (shared.cpu_microseconds(hovermark.pid) - before[0], browser.cpu() - before[1],
                 shared.cpu_microseconds(daemon) - before[2])
        costs.append({"hovermark": spent[0], "browser": spent[1], "a11y bus": spent[2], "seconds": took,
                      "settled": settled})
        print(f"  reload: {took:.1f} s{'' if settled else ' (not settled)'}, hovermark {spent[0] / 1000:.0f} ms, "
              f"browser {spent[1] / 1000:.0f} ms, a11y bus {spent[2] / 1000:.0f} ms", flush=True)
    return costs


def count_objects(bus, pid):
    """The page's accessible objects, walked child by child on the browser's own connection; None if the walk
    did not end within WALK_TIMEOUT."""
    names = [name for name in bus.connections_of(pid)]
    if not names:
        return None
    deadline = time.monotonic() + WALK_TIMEOUT
    total, stack = 0, [(names[0], "/org/a11y/atspi/accessible/root")]
    while stack:
        if time.monotonic() > deadline:
            return None
        name, path = stack.pop()
        try:
            children = bus.connection.get_object(name, path, introspect=False).GetChildren(
                dbus_interface="org.a11y.atspi.Accessible", timeout=CALL_TIMEOUT)
        except dbus.DBusException:
            continue
        total += 1
        stack.extend((str(child[0]), str(child[1])) for child in children if str(child[1]) != "/org/a11y/atspi/null")
    return total


def starts_with_element(copied):
    """Whether the list's first row is an element's: a role, no handle."""
    role, _, rest = (copied or b"").partition(b"\t")
    return bool(role) and rest.startswith(b"\t")


def measure_page(desktop, session, bus, label, exe, seconds):
    """A fresh Hovermark over the big page: reloads before the mode was ever on, the mode on over the page
    (memory, Ctrl+C at first contact), then the mode off and the same reloads."""
    figures = {}
    page = os.path.join(os.path.abspath(desktop.work_dir), "big_page.html")
    write_page(page)
    hovermark, window = desktop.start_hovermark(f"{label}-hovermark-page", exe)
    daemon = children_named(desktop.launcher.pid, "dbus-daemon")[0]
    browser = Browser(desktop, label, page)
    try:
        started = time.monotonic()
        loaded = shared.poll(browser.loaded, timeout=BROWSER_START_SECONDS, interval=0.5)
        if not loaded:
            print(f"  (the browser did not show the page within {BROWSER_START_SECONDS:.0f} s)", flush=True)
            return figures
        desktop.place(browser.window, 0, 0)
        print(f"the page loaded {time.monotonic() - started:.1f} s after the browser started", flush=True)
        shared.move_pointer(*ON_THE_PAGE)
        time.sleep(WARM_UP_SECONDS)
        print("reloads, the mode never on:", flush=True)
        figures["reloads never on"] = reload_costs(desktop, browser, hovermark, daemon)

        shared.move_pointer(*BARE_DESKTOP)
        desktop.switch_mode(session, window, True)
        time.sleep(WARM_UP_SECONDS)
        figures["memory before"] = memory_kib(hovermark.pid)
        # Hovermark keeps the focus while the pointer goes onto the page: each Ctrl+C reaches it at once.
        desktop.activate(window)
        contact = time.monotonic()
        shared.move_pointer(*ON_THE_PAGE)
        slowest, copies, rows_after = 0.0, 0, None
        while time.monotonic() - contact < CONTACT_SECONDS:
            answered, copied = desktop.timed_copy()
            slowest = max(slowest, answered)
            copies += 1
            if rows_after is None and starts_with_element(copied):
                rows_after = time.monotonic() - contact
        figures["contact"] = {"slowest copy": slowest, "copies": copies, "rows after": rows_after}
        time.sleep(max(0.0, seconds - (time.monotonic() - contact)))
        figures["memory after"] = memory_kib(hovermark.pid)
        figures["shows"] = desktop.list_shows(window)
        shared.move_pointer(*BARE_DESKTOP)
        desktop.switch_mode(session, window, False)
        print("reloads, the mode off after it was on:", flush=True)
        figures["reloads after on"] = reload_costs(desktop, browser, hovermark, daemon)
        figures["memory after reloads"] = memory_kib(hovermark.pid)
        figures["objects"] = count_objects(bus, browser.process.pid)
    finally:
        browser.stop()
        Processes.stop(hovermark)
    return figures


def print_build(label, figures, seconds):
    cpu = figures["cpu"]
    names = list(cpu["window mode"])
    print(f"\n{label}: CPU over {seconds} s each, the pointer at rest on a GTK 3 button, in ms:")
    print(f"  {'':16}" + "".join(f"{name:>12}" for name in names) + f"{'together':>12}")
    for mode, spent in cpu.items():
        print(f"  {mode:16}" + "".join(f"{spent[name] / 1000:12.1f}" for name in names) +
              f"{sum(spent.values()) / 1000:12.1f}")
    print(f"{label}: method calls Hovermark's {figures['connections']} connection(s) sent over the accessibility "
          "bus, with the mode on:")
    for period, counted in figures["calls"].items():
        per = (f"{counted['all'] / figures['moves']:.1f} in the second after each of {figures['moves']} moves"
               if period == "after a move" else f"{counted['all'] / figures['ticks'][period]:.2f} a tick")
        members = ", ".join(f"{member} {n}" for member, n in sorted(counted["members"].items(), key=lambda m: -m[1]))
        print(f"  {period:30} {per} ({counted['all']} in all: applications {counted['application']}, registry "
              f"{counted['registry']}, bus daemon {counted['bus daemon']}){': ' + members if members else ''}")
    for period, shown in figures["shows"].items():
        print(f"  the list {period}: {shown}")
    address = figures["direct address"]
    print("  the GTK 3 application they were counted over " +
          ("offered no direct connection" if address == "" else
           f"answered {address!r} for a direct connection: calls to it may have bypassed the bus"))
    page = figures.get("page") or {}
    if "contact" in page:
        contact = page["contact"]
        rows = (f"{contact['rows after']:.2f} s after it" if contact["rows after"] is not None
                else f"not within {CONTACT_SECONDS:.0f} s of it")
        print(f"{label}: the big page ({page.get('objects')} accessible objects): the slowest of "
              f"{contact['copies']} Ctrl+C from the first contact answered in {contact['slowest copy'] * 1000:.0f} "
              f"ms; an element's rows first {rows}; at the end the list shows {page.get('shows')}")
        for when in ("memory before", "memory after", "memory after reloads"):
            memory = page.get(when, {})
            print(f"  {when:22} VmRSS {memory.get('VmRSS', 0) / 1024:.1f} MiB, "
                  f"VmHWM {memory.get('VmHWM', 0) / 1024:.1f} MiB")


def summary(figures):
    """The figures the side-by-side table shows, or None where they were not measured."""
    cpu = figures["cpu"]
    window, inside = sum(cpu["window mode"].values()), sum(cpu["looking inside"].values())
    calls, ticks = figures["calls"], figures["ticks"]
    page = figures.get("page") or {}

    def per_tick(period):
        return calls[period]["all"] / ticks[period] if period in calls else None

    def mean_reload(key):
        costs = page.get(key)
        return sum(cost["hovermark"] for cost in costs) / len(costs) / 1000 if costs else None

    def mib(when, key):
        value = page.get(when, {}).get(key)
        return value / 1024 if value is not None else None

    contact = page.get("contact", {})
    return [
        ("CPU, window mode (ms, 4 processes)", window / 1000, "{:.1f}"),
        ("CPU, looking inside (ms, 4 processes)", inside / 1000, "{:.1f}"),
        ("ratio inside / window (aim <= 1.5)", inside / window if window else None, "{:.2f}"),
        ("hovermark alone, looking inside (ms)", cpu["looking inside"]["hovermark"] / 1000, "{:.1f}"),
        ("calls a tick, at rest on a GTK 3 button", per_tick("at rest over a GTK 3 button"), "{:.2f}"),
        ("calls a tick, at rest on an X client", per_tick("at rest over an X client"), "{:.2f}"),
        ("calls in the second after a move", calls["after a move"]["all"] / figures["moves"], "{:.1f}"),
        ("page: accessible objects", page.get("objects"), "{:d}"),
        ("page: VmRSS before the mode (MiB)", mib("memory before", "VmRSS"), "{:.1f}"),
        ("page: VmRSS after on the page (MiB)", mib("memory after", "VmRSS"), "{:.1f}"),
        ("page: VmHWM after on the page (MiB)", mib("memory after", "VmHWM"), "{:.1f}"),
        ("page: slowest Ctrl+C at first contact (ms)",
         contact["slowest copy"] * 1000 if contact else None, "{:.0f}"),
        ("page: first element rows after contact (s)", contact.get("rows after"), "{:.2f}"),
        ("page: CPU a reload, never on (ms)", mean_reload("reloads never on"), "{:.0f}"),
        ("page: CPU a reload, off after on (ms)", mean_reload("reloads after on"), "{:.0f}"),
    ]


def print_table(paths, seconds):
    builds = []
    for path in paths:
        with open(path, encoding="utf-8") as results:
            builds.append(json.load(results))
    width = max(14, *(len(build["label"]) + 2 for build in builds))
    print(f"\nSide by side, {seconds} s a phase (the page's reloads: the mean of {RELOADS}, Hovermark's CPU):")
    print(f"  {'':44}" + "".join(f"{build['label']:>{width}}" for build in builds))
    rows = [summary(build["figures"]) for build in builds]
    for index, (name, _, _) in enumerate(rows[0]):
        cells = []
        for row in rows:
            value, shape = row[index][1], row[index][2]
            cells.append(f"{shape.format(value) if value is not None else '-':>{width}}")
        print(f"  {name:44}" + "".join(cells))
    for build in builds:
        print(f"  {build['label']}: {build['exe']}")


def measure(options):
    os.makedirs(options.work_dir, exist_ok=True)
    desktop = Desktop(options.work_dir)
    try:
        desktop.launcher = desktop.processes.start(f"{options.label}-at-spi-bus-launcher",
                                                   [LAUNCHER, "--launch-immediately"])
        session = dbus.SessionBus()
        bus = AccessibilityBus(session)
        print(f"== {options.label}: {options.exe}", flush=True)
        figures = measure_at_rest(desktop, session, bus, options.label, options.exe, options.seconds)
        figures["page"] = measure_page(desktop, session, bus, options.label, options.exe, options.seconds)
        print_build(options.label, figures, options.seconds)
        with open(options.results, "w", encoding="utf-8") as out:
            json.dump({"label": options.label, "exe": options.exe, "figures": figures}, out, indent=1)
    finally:
        desktop.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    one = commands.add_parser("measure", help="one build, under the session bus this runs on")
    one.add_argument("--label", required=True)
    one.add_argument("--exe", required=True)
    one.add_argument("--work-dir", required=True)
    one.add_argument("--seconds", type=int, default=30)
    one.add_argument("--results", required=True, help="the JSON file the figures go to")
    table = commands.add_parser("table", help="the builds' figures side by side")
    table.add_argument("--seconds", type=int, default=30)
    table.add_argument("results", nargs="+")
    options = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))
    if options.command == "measure":
        measure(options)
    else:
        print_table(options.results, options.seconds)


if __name__ == "__main__":
    main()
