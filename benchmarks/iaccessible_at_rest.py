#!/usr/bin/python3
"""The measuring half of benchmarks/iaccessible_at_rest.sh, which starts the display and the Wine prefix.

For each hovermark.exe given (--exe, once per build; one run can set two builds side by side, "before" and
"after"), it starts a fresh look-inside fixture and the program, rests the pointer on the fixture's drawn button
and reads, first in window mode and then with the mode on (F7): the fixture's IAccessible calls and the
messages that carried calls from other programs (its "stats" command) per tick at rest and in the second after
each move to another drawn control, and the CPU time of Hovermark, the fixture and the prefix's wineserver.
Prints figures; checks nothing.
"""

import argparse
import glob
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import run_e2e as shared  # noqa: E402
import run_e2e_look_inside as look_inside  # noqa: E402

WARM_UP_SECONDS = 3
MOVES = 10
TICKS_PER_SECOND = 10
# Calls from other programs reach the fixture's thread as messages for COM's own window: one a round trip,
# QueryInterface and Release among them.
CALL_MESSAGES = "messages.OleMainThreadWndClass"


def wineserver_pid():
    """The wineserver of this prefix: the one whose working folder is the prefix's server folder."""
    prefix = os.stat(os.environ["WINEPREFIX"])
    server_dir = f"server-{prefix.st_dev:x}-{prefix.st_ino:x}"
    for proc in glob.glob("/proc/[0-9]*"):
        try:
            if os.path.basename(os.readlink(f"{proc}/exe")).startswith("wineserver") and \
                    os.path.basename(os.readlink(f"{proc}/cwd")) == server_dir:
                return int(os.path.basename(proc))
        except OSError:
            continue
    return None


def measure(label, exe, options, helpers):
    """One build's figures: a fresh fixture and hovermark.exe, window mode, then the mode on."""
    processes = shared.Processes(options.work_dir)
    clipboard = shared.Clipboard(os.path.join(helpers, "hovermark_read_clipboard.exe"))
    try:
        drawn = look_inside.DrawnControls(processes, os.path.join(helpers, "hovermark_accessible_fixture.exe"),
                                          options.work_dir)
        if not shared.poll(lambda: drawn.read_info().get("calls"), timeout=60):
            sys.exit("the fixture did not start")
        hovermark = processes.start("hovermark", exe)
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(shared.HOVERMARK_TITLE)), timeout=60)
        if not windows:
            sys.exit(f"Hovermark did not start: {exe}")
        pids = {"hovermark": hovermark.pid, "fixture": drawn.process.pid, "wineserver": wineserver_pid()}
        print(f"== {label}: {exe}", flush=True)
        print("processes: " + ", ".join(f"{name} {pid}" for name, pid in pids.items()), flush=True)
        rest, other = drawn.centre("button"), drawn.centre("item1")
        results = {}
        for mode in ("window mode", "looking inside"):
            if mode == "looking inside":
                shared.focus(windows[0])
                shared.key("F7")
            shared.move_pointer(*rest)
            time.sleep(WARM_UP_SECONDS)
            counts_before = drawn.call_counts()
            cpu_before = {name: shared.cpu_microseconds(pid) for name, pid in pids.items() if pid}
            time.sleep(options.seconds)
            cpu = {name: shared.cpu_microseconds(pid) - cpu_before[name] for name, pid in pids.items() if pid}
            counts = drawn.call_counts()
            at_rest = {key: value - counts_before.get(key, 0) for key, value in counts.items()}
            # Each move: to another drawn control and, a second later, back; the calls of those seconds.
            moving_before = drawn.call_counts()
            for _ in range(MOVES):
                shared.move_pointer(*other)
                time.sleep(1)
                shared.move_pointer(*rest)
                time.sleep(1)
            moving_after = drawn.call_counts()
            moving = {key: value - moving_before.get(key, 0) for key, value in moving_after.items()}
            results[mode] = (cpu, at_rest, moving)
            # What the list showed, so that a lost F7 shows in the figures' company.
            clipboard.put(shared.SENTINEL)
            shared.focus(windows[0])
            shared.key("ctrl+c")
            copied = shared.poll(clipboard.read, lambda text: text not in (None, shared.SENTINEL.encode()), 5.0)
            print(f"{mode}: the list at rest shows {shared.show_bytes(copied)}", flush=True)
        return [name for name, pid in pids.items() if pid], results
    finally:
        processes.stop_all()


def print_figures(label, names, results, seconds):
    ticks = seconds * TICKS_PER_SECOND
    print(f"\n{label}: CPU over {seconds} s each, the pointer at rest on the fixture's drawn button, in ms:")
    print(f"  {'':16}" + "".join(f"{name:>12}" for name in names) + f"{'together':>12}")
    together = {}
    for mode, (cpu, _, _) in results.items():
        together[mode] = sum(cpu.values())
        print(f"  {mode:16}" + "".join(f"{cpu[name] / 1000:12.1f}" for name in names) +
              f"{together[mode] / 1000:12.1f}")
    ratio = together["looking inside"] / together["window mode"] if together["window mode"] else None
    if ratio is not None:
        print(f"  ratio looking inside / window mode, together: {ratio:.2f}")
    print(f"\n{label}: IAccessible calls the fixture received, and the messages that carried calls to it:")
    seconds_moving = 2 * MOVES
    for mode, (_, at_rest, moving) in results.items():
        calls, messages = at_rest["calls"], at_rest.get(CALL_MESSAGES, 0)
        print(f"  {mode:16} at rest {calls / ticks:.2f} calls a tick ({calls} in {ticks} ticks, "
              f"{calls / seconds:.1f} a second), {messages / ticks:.2f} messages a tick; in the second after a "
              f"move to another drawn control {moving['calls'] / seconds_moving:.1f} calls and "
              f"{moving.get(CALL_MESSAGES, 0) / seconds_moving:.1f} messages ({moving['calls']} and "
              f"{moving.get(CALL_MESSAGES, 0)} over {MOVES} moves there and back)")
        kinds = {key.removeprefix("calls."): value for key, value in at_rest.items()
                 if key.startswith("calls.") and value}
        kinds["WM_GETOBJECT"] = at_rest.get("getobject", 0)
        kinds["QueryInterface"] = at_rest.get("queries", 0)
        kinds["Release"] = at_rest.get("releases", 0)
        print(f"  {'':16} at rest, a second: " +
              ", ".join(f"{name} {value / seconds:.1f}" for name, value in sorted(kinds.items())))
    looking = results["looking inside"]
    return {"window mode": together["window mode"], "looking inside": together["looking inside"], "ratio": ratio,
            "calls": looking[1]["calls"] / ticks, "messages": looking[1].get(CALL_MESSAGES, 0) / ticks,
            "moved": looking[2]["calls"] / seconds_moving,
            "moved messages": looking[2].get(CALL_MESSAGES, 0) / seconds_moving}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/windows", help="where the fixture and the clipboard reader are")
    parser.add_argument("--work-dir", default="build/bench-iaccessible")
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--exe", action="append", metavar="[LABEL=]PATH",
                        help="a hovermark.exe to measure, once for each build (default: the build dir's)")
    options = parser.parse_args()
    helpers = os.path.join(options.build_dir, "tests", "e2e")
    builds = []
    for given in options.exe or [os.path.join(options.build_dir, "hovermark.exe")]:
        label, _, path = given.rpartition("=") if "=" in given else ("", "", given)
        if not os.path.isfile(path):
            sys.exit(f"no such hovermark.exe: {path}")
        builds.append((label or (("before", "after")[len(builds)] if options.exe and len(options.exe) == 2
                                 else os.path.dirname(path) or "."), path))
    summaries = {}
    for label, exe in builds:
        names, results = measure(label, exe, options, helpers)
        summaries[label] = print_figures(label, names, results, options.seconds)
    if len(summaries) > 1:
        print(f"\nSide by side, {options.seconds} s each (CPU of the three together, in ms; calls and messages "
              "with the mode on):")
        print(f"  {'':12}{'window mode':>13}{'looking in':>12}{'ratio':>8}{'calls/tick':>12}{'msgs/tick':>11}"
              f"{'calls/move s':>14}{'msgs/move s':>13}")
        for label, figures in summaries.items():
            ratio = f"{figures['ratio']:.2f}" if figures["ratio"] is not None else "-"
            print(f"  {label:12}{figures['window mode'] / 1000:13.1f}{figures['looking inside'] / 1000:12.1f}"
                  f"{ratio:>8}{figures['calls']:12.2f}{figures['messages']:11.2f}{figures['moved']:14.1f}"
                  f"{figures['moved messages']:13.1f}")


if __name__ == "__main__":
    main()
