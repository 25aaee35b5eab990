#!/usr/bin/python3
"""The measuring half of benchmarks/iaccessible_at_rest.sh, which starts the display and the Wine prefix.

It starts the look-inside fixture and hovermark.exe, rests the pointer on the fixture's drawn button and reads,
first in window mode and then with the mode on (F7): the fixture's IAccessible calls (its "stats" command) per
tick at rest and in the second after each move to another drawn control, and the CPU time of Hovermark, the
fixture and the prefix's wineserver. Prints figures; checks nothing.
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


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/windows")
    parser.add_argument("--work-dir", default="build/bench-iaccessible")
    parser.add_argument("--seconds", type=int, default=30)
    options = parser.parse_args()
    helpers = os.path.join(options.build_dir, "tests", "e2e")
    processes = shared.Processes(options.work_dir)
    clipboard = shared.Clipboard(os.path.join(helpers, "hovermark_read_clipboard.exe"))
    try:
        drawn = look_inside.DrawnControls(processes, os.path.join(helpers, "hovermark_accessible_fixture.exe"),
                                          options.work_dir)
        if not shared.poll(lambda: drawn.read_info().get("calls"), timeout=60):
            sys.exit("the fixture did not start")
        hovermark = processes.start("hovermark", os.path.join(options.build_dir, "hovermark.exe"))
        windows = shared.poll(lambda: shared.visible_windows(shared.exact(shared.HOVERMARK_TITLE)), timeout=60)
        if not windows:
            sys.exit("Hovermark did not start")
        pids = {"hovermark": hovermark.pid, "fixture": drawn.process.pid, "wineserver": wineserver_pid()}
        print("processes: " + ", ".join(f"{name} {pid}" for name, pid in pids.items()), flush=True)
        rest, other = drawn.centre("button"), drawn.centre("item1")
        results = {}
        at_rest_by_kind = {}
        for mode in ("window mode", "looking inside"):
            if mode == "looking inside":
                shared.focus(windows[0])
                shared.key("F7")
            shared.move_pointer(*rest)
            time.sleep(WARM_UP_SECONDS)
            counts_before = drawn.call_counts()
            cpu_before = {name: cpu_microseconds(pid) for name, pid in pids.items() if pid}
            time.sleep(options.seconds)
            cpu = {name: cpu_microseconds(pid) - cpu_before[name] for name, pid in pids.items() if pid}
            counts = drawn.call_counts()
            at_rest = {key: value - counts_before.get(key, 0) for key, value in counts.items()}
            calls_at_rest = at_rest["calls"]
            # Each move: to another drawn control and, a second later, back; the calls of those seconds.
            calls_before = drawn.call_counts()["calls"]
            for _ in range(MOVES):
                shared.move_pointer(*other)
                time.sleep(1)
                shared.move_pointer(*rest)
                time.sleep(1)
            calls_moving = drawn.call_counts()["calls"] - calls_before
            results[mode] = (cpu, calls_at_rest, calls_moving)
            at_rest_by_kind[mode] = at_rest
            # What the list showed, so that a lost F7 shows in the figures' company.
            clipboard.put(shared.SENTINEL)
            shared.focus(windows[0])
            shared.key("ctrl+c")
            copied = shared.poll(clipboard.read, lambda text: text not in (None, shared.SENTINEL.encode()), 5.0)
            print(f"{mode}: the list at rest shows {shared.show_bytes(copied)}", flush=True)

        ticks = options.seconds * TICKS_PER_SECOND
        print(f"\nCPU over {options.seconds} s each, the pointer at rest on the fixture's drawn button, in ms:")
        names = [name for name, pid in pids.items() if pid]
        print(f"  {'':16}" + "".join(f"{name:>12}" for name in names) + f"{'together':>12}")
        together = {}
        for mode, (cpu, _, _) in results.items():
            together[mode] = sum(cpu.values())
            print(f"  {mode:16}" + "".join(f"{cpu[name] / 1000:12.1f}" for name in names) +
                  f"{together[mode] / 1000:12.1f}")
        if together["window mode"]:
            print(f"  ratio looking inside / window mode, together: "
                  f"{together['looking inside'] / together['window mode']:.2f}")
        print("\nIAccessible calls the fixture received:")
        for mode, (_, at_rest, moving) in results.items():
            seconds_moving = 2 * MOVES
            print(f"  {mode:16} at rest {at_rest / ticks:.2f} a tick ({at_rest} in {ticks} ticks, "
                  f"{at_rest / options.seconds:.1f} a second); in the second after a move to another drawn control "
                  f"{moving / seconds_moving:.1f} ({moving} over {MOVES} moves there and back)")
            kinds = {key.removeprefix("calls."): value for key, value in at_rest_by_kind[mode].items()
                     if key.startswith("calls.") and value}
            kinds["WM_GETOBJECT"] = at_rest_by_kind[mode].get("getobject", 0)
            kinds["QueryInterface"] = at_rest_by_kind[mode].get("queries", 0)
            print(f"  {'':16} at rest, a second: " +
                  ", ".join(f"{name} {value / options.seconds:.1f}" for name, value in sorted(kinds.items())))
    finally:
        processes.stop_all()


if __name__ == "__main__":
    main()
