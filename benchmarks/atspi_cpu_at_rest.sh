#!/usr/bin/env bash
# What looking inside windows costs at rest, beside window mode in one run: Hovermark (release build) with the
# pointer still on a GTK 3 application's button, on a virtual display under openbox, with a session bus and an
# accessibility bus of the run's own. It reads the CPU time of Hovermark, of the accessibility bus's daemon and
# registry and of the application from the scheduler (/proc/PID/task/*/schedstat), first in window mode, then with the mode switched on
# (F7), each over the same time. Then the calls over the accessibility bus one tick costs: at rest over a
# window that shows nothing new, at rest over one that is redrawn every tick, and after the pointer moved to
# another element (benchmarks/atspi_tick_round_trips.cpp). A benchmark, not a test: it
# prints figures and checks nothing. It leaves no display, bus or program of its own behind.
#
#   benchmarks/atspi_cpu_at_rest.sh [SECONDS] [--build-dir DIR]    default: 30 seconds, build/release
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} != --inside ]]; then
    seconds=30
    build_dir=build/release
    while (($#)); do
        case $1 in
            --build-dir) build_dir=$2; shift 2 ;;
            *) seconds=$1; shift ;;
        esac
    done
    echo "== build ($build_dir)"
    if [[ ! -f $build_dir/CMakeCache.txt ]]; then
        cmake --preset release -B "$build_dir" >/dev/null
    fi
    cmake --build "$build_dir" -j "$(nproc)" --target hovermark atspi_tick_round_trips >/dev/null

    display=""
    for number in 60 61 62 63; do
        if [[ ! -e /tmp/.X${number}-lock && ! -e /tmp/.X11-unix/X${number} ]]; then
            display=:$number
            break
        fi
    done
    [[ -n $display ]] || { echo "no free display between :60 and :63" >&2; exit 1; }
    work=$(mktemp -d)
    Xvfb "$display" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
    export DISPLAY=$display XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
    mkdir -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
    unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    status=0
    dbus-run-session -- "$0" --inside "$seconds" "$build_dir" 2> >(grep -v "fd limit" >&2) || status=$?
    exit "$status"
fi

seconds=$2
build_dir=$3
readonly warm_up_seconds=3
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
}
trap cleanup EXIT

/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
launcher=$!
pids+=("$launcher")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 1

fixture_info=$(mktemp)
/usr/bin/python3 tests/atspi/gtk3_fixture.py 20 20 < <(sleep $((4 * seconds + 60))) >"$fixture_info" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s $fixture_info ]] && break; sleep 0.1; done
read -r fixture_pid button_x button_y entry_x entry_y < <(/usr/bin/python3 -c '
import json, sys
info = json.load(open(sys.argv[1]))
button, entry = info["controls"]["button"], info["controls"]["entry"]
print(info["pid"], button[0] + button[2] // 2, button[1] + button[3] // 2, entry[0] + entry[2] // 2,
      entry[1] + entry[3] // 2)' "$fixture_info")
rm -f "$fixture_info"

"$build_dir/hovermark" >/dev/null 2>&1 &
hovermark_pid=$!
pids+=("$hovermark_pid")
main_window=$(xdotool search --sync --onlyvisible --name '^Hovermark 1\.1$' | head -n 1)
xdotool windowmove --sync "$main_window" 700 500
xdotool mousemove "$button_x" "$button_y"

bus_daemon=$(pgrep -P "$launcher" dbus-daemon | head -n 1 || true)
# The registry detaches itself when the bus starts it: the process that owns its name on this run's bus.
registry_of_this_bus() {
    local address
    address=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress |
        tr -d ' ') || return 0
    dbus-send --address="$address" --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.a11y.atspi.Registry 2>/dev/null |
        awk '{ print $NF }' || true
}
registry=$(registry_of_this_bus | head -n 1)
echo "processes: hovermark $hovermark_pid, accessibility bus ${bus_daemon:-none}, registry ${registry:-none}, GTK 3 application $fixture_pid"

# The time on a CPU of every thread of the process, in microseconds, from the scheduler.
cpu_microseconds() {
    [[ -n $1 && -d /proc/$1 ]] || { echo 0; return; }
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d\n", sum / 1000 }'
}
measure() {
    local name=$1 before=() after=() i
    local processes=("$hovermark_pid" "$bus_daemon" "${registry:-}" "$fixture_pid")
    sleep "$warm_up_seconds"
    for i in "${!processes[@]}"; do before[i]=$(cpu_microseconds "${processes[i]}"); done
    sleep "$seconds"
    for i in "${!processes[@]}"; do after[i]=$(cpu_microseconds "${processes[i]}"); done
    echo "$name $((after[0] - before[0])) $((after[1] - before[1])) $((after[2] - before[2])) $((after[3] - before[3]))"
}

window_mode=$(measure "window")
xdotool windowactivate --sync "$main_window" key F7
xdotool mousemove "$button_x" "$button_y"
[[ -z $registry ]] && registry=$(registry_of_this_bus | head -n 1)
look_inside=$(measure "inside")

awk -v seconds="$seconds" -v window="$window_mode" -v inside="$look_inside" 'BEGIN {
    split(window, w, " "); split(inside, l, " ")
    printf "CPU at rest over %d s each, the pointer still on a GTK 3 button, in ms:\n", seconds
    printf "  %-14s %10s %10s %10s %10s %10s\n", "", "hovermark", "a11y bus", "registry", "GTK 3 app", "together"
    together_w = w[2] + w[3] + w[4] + w[5]; together_l = l[2] + l[3] + l[4] + l[5]
    printf "  %-14s %10.1f %10.1f %10.1f %10.1f %10.1f\n", "window mode", w[2] / 1000, w[3] / 1000, w[4] / 1000,
        w[5] / 1000, together_w / 1000
    printf "  %-14s %10.1f %10.1f %10.1f %10.1f %10.1f\n", "looking inside", l[2] / 1000, l[3] / 1000, l[4] / 1000,
        l[5] / 1000, together_l / 1000
    if (together_w > 0) printf "  ratio looking inside / window mode, together: %.2f (aim: at most 1.5)\n", together_l / together_w
    printf "  hovermark alone: %.3f%% and %.3f%% of a core\n", w[2] / 10000 / seconds, l[2] / 10000 / seconds
}'
"$build_dir/benchmarks/atspi_tick_round_trips" "$button_x" "$button_y" "$entry_x" "$entry_y"
