#!/usr/bin/env bash
# Hovermark's CPU at rest on X11, side by side with a bare XCB program that makes only the X requests one
# tick needs (benchmarks/x11_bare_tick.cpp): both run at 10 ticks a second on a virtual display under
# openbox, the pointer still over another program's window, and each one's CPU time is read from
# /proc/PID/stat before and after. Then the X round trips one tick costs (benchmarks/x11_tick_round_trips.cpp,
# run first, on the same display before the window manager starts). A benchmark, not a test: it prints
# figures and checks nothing. It leaves no display, window manager or program of its own behind.
#
#   benchmarks/x11_cpu_at_rest.sh [SECONDS] [--build-dir DIR]    default: 30 seconds, build/release
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
build_dir=build/release
while (($#)); do
    case $1 in
        --build-dir) build_dir=$2; shift 2 ;;
        *) seconds=$1; shift ;;
    esac
done
readonly warm_up_seconds=3

echo "== build ($build_dir)"
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
    cmake --preset release -B "$build_dir" >/dev/null
fi
cmake --build "$build_dir" -j "$(nproc)" --target hovermark x11_bare_tick x11_tick_round_trips >/dev/null
hovermark=$build_dir/hovermark
bare=$build_dir/benchmarks/x11_bare_tick
round_trips=$build_dir/benchmarks/x11_tick_round_trips

pids=()
cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Displays 64-69 are this benchmark's; the first one no X server holds.
display=""
for number in 64 65 66 67 68 69; do
    if [[ ! -e /tmp/.X${number}-lock && ! -e /tmp/.X11-unix/X${number} ]]; then
        display=:$number
        break
    fi
done
[[ -n $display ]] || { echo "no free display between :64 and :69" >&2; exit 1; }
export DISPLAY=$display

wait_for() {
    local what=$1
    shift
    for _ in $(seq 100); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "gave up waiting for $what" >&2
    exit 1
}

Xvfb "$display" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
wait_for "the X server on $display" xdpyinfo

round_trip_report=$("$round_trips")

openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wait_for "openbox" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

# The window the pointer rests on: another program's, left of where Hovermark's window will be moved.
xmessage -geometry 420x260+40+40 "Hovermark looks at this window." &
pids+=($!)
target=$(xdotool search --sync --onlyvisible --class Xmessage | head -n 1)

"$hovermark" &
hovermark_pid=$!
pids+=("$hovermark_pid")
main_window=$(xdotool search --sync --onlyvisible --name '^Hovermark 1\.1$' | head -n 1)
xdotool windowmove --sync "$main_window" 700 500
xdotool mousemove --window "$target" 210 60

bare_report=$(mktemp)
"$bare" 2>"$bare_report" &
bare_pid=$!
pids+=("$bare_pid")

# utime + stime of the whole process, in clock ticks (fields 14 and 15, counted after the command's name).
cpu_ticks() {
    local fields
    fields=$(sed 's/^.*) //' "/proc/$1/stat")
    awk '{ print $12 + $13 }' <<<"$fields"
}
# The same to the nanosecond: the time on a CPU of every thread, from the scheduler.
cpu_nanoseconds() {
    cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { printf "%d\n", sum }'
}

sleep "$warm_up_seconds"
kill -0 "$hovermark_pid" && kill -0 "$bare_pid"
hovermark_ticks_0=$(cpu_ticks "$hovermark_pid")
bare_ticks_0=$(cpu_ticks "$bare_pid")
hovermark_ns_0=$(cpu_nanoseconds "$hovermark_pid")
bare_ns_0=$(cpu_nanoseconds "$bare_pid")
sleep "$seconds"
hovermark_ticks_1=$(cpu_ticks "$hovermark_pid")
bare_ticks_1=$(cpu_ticks "$bare_pid")
hovermark_ns_1=$(cpu_nanoseconds "$hovermark_pid")
bare_ns_1=$(cpu_nanoseconds "$bare_pid")
under_pointer=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')

clock_ticks=$(getconf CLK_TCK)
awk -v seconds="$seconds" -v hz="$clock_ticks" \
    -v h_ticks=$((hovermark_ticks_1 - hovermark_ticks_0)) -v b_ticks=$((bare_ticks_1 - bare_ticks_0)) \
    -v h_ns=$((hovermark_ns_1 - hovermark_ns_0)) -v b_ns=$((bare_ns_1 - bare_ns_0)) 'BEGIN {
    printf "CPU at rest over %d s (10 ticks a second, the pointer still over a window):\n", seconds
    printf "  %-16s %8s %10s %14s\n", "", "stat", "% of core", "scheduler"
    printf "  %-16s %7.2fs %9.3f%% %13.4fs\n", "hovermark", h_ticks / hz, 100 * h_ticks / hz / seconds, h_ns / 1e9
    printf "  %-16s %7.2fs %9.3f%% %13.4fs\n", "x11_bare_tick", b_ticks / hz, 100 * b_ticks / hz / seconds, b_ns / 1e9
    if (b_ticks > 0) ratio_stat = sprintf("%.2f", h_ticks / b_ticks); else ratio_stat = "n/a (bare program below one clock tick)"
    printf "  ratio hovermark / bare: %s from /proc/PID/stat, %.2f from the scheduler (aim: at most 1.15)\n", ratio_stat, h_ns / b_ns
}'
echo "  window under the pointer at the end: $under_pointer (the target: $target)"
kill "$bare_pid"
wait "$bare_pid" || true
echo "$round_trip_report"
sed 's/^x11_bare_tick: /the bare program: /' "$bare_report"
rm -f "$bare_report"
