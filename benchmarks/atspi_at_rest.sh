#!/usr/bin/env bash
# What looking inside windows costs on Linux, beside window mode, for one build or several back to back in one
# run, on a virtual display under openbox. Each build gets a session bus and an accessibility bus of its own,
# started fresh, and benchmarks/atspi_at_rest.py measures it there:
#   - the CPU time of Hovermark, of the accessibility bus's daemon, of its registry and of a GTK 3 application
#     (/proc/PID/task/*/schedstat), the pointer at rest on the application's button, in window mode and then
#     with the mode on (F7), over the same time each;
#   - the method calls Hovermark's connections send over the accessibility bus (a dbus-monitor of that bus;
#     Hovermark's connections are the ones whose process is Hovermark's), at rest over a GTK 3 button, at rest
#     over an X client that describes nothing, and in the second after the pointer moved to another element.
#     That application is started so that it offers no direct connection, and every call to it crosses the bus;
#   - a second Hovermark over a Firefox ESR page of about 45,000 accessible objects: its CPU a reload of the
#     page before the mode was ever on, its VmRSS and VmHWM before and after the mode went on over the page, the
#     slowest Ctrl+C from the first contact, and its CPU a reload once the mode is off again.
# Then the builds' figures side by side. A benchmark, not a test: it prints figures and checks nothing. It
# leaves no display, bus or program of its own behind.
#
#   benchmarks/atspi_at_rest.sh [SECONDS] [--exe [LABEL=]PATH]...
#       default: 30 seconds a phase, build/release/hovermark (built if missing)
#   --exe, given once for each build, measures those builds back to back (two are labelled "before" and
#   "after" unless labelled); a relative PATH is taken from the repository's root.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
exes=()
while (($#)); do
    case $1 in
        --exe) exes+=("$2"); shift 2 ;;
        *) seconds=$1; shift ;;
    esac
done
[[ $seconds =~ ^[0-9]+$ ]] && ((seconds > 0)) || { echo "SECONDS must be a whole number above 0" >&2; exit 2; }

builds=()
if ((${#exes[@]} == 0)); then
    echo "== build (build/release)"
    if [[ ! -f build/release/CMakeCache.txt ]]; then
        cmake --preset release -B build/release >/dev/null
    fi
    cmake --build build/release -j 2 --target hovermark >/dev/null
    builds=("release=build/release/hovermark")
else
    for given in "${exes[@]}"; do
        label=""
        path=$given
        if [[ $given == *=* ]]; then
            label=${given%%=*}
            path=${given#*=}
        fi
        if [[ -z $label ]]; then
            if ((${#exes[@]} == 2)); then
                label=$( ((${#builds[@]} == 0)) && echo before || echo after)
            else
                label=$(basename "$(dirname "$path")")
            fi
        fi
        [[ -x $path ]] || { echo "no such hovermark: $path" >&2; exit 2; }
        builds+=("$label=$path")
    done
fi

source scripts/lib/virtual_display.sh
work=$PWD/build/bench-atspi
rm -rf "$work"
mkdir -p "$work"
xvfb_pid=""
openbox_pid=""
measure_pid=""
cleanup() {
    # The measuring half ends what it started; should it be stopped halfway, its process group goes with it.
    if [[ -n $measure_pid ]] && kill -0 "$measure_pid" 2>/dev/null; then
        kill -TERM -- "-$measure_pid" 2>/dev/null || true
        wait "$measure_pid" 2>/dev/null || true
    fi
    for pid in "$openbox_pid" "$xvfb_pid"; do
        if [[ -n $pid ]]; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM
start_virtual_display 60 63 "$work/xvfb.log" || exit 1
export LANG=C.UTF-8 NO_AT_BRIDGE=0
openbox --sm-disable >"$work/openbox.log" 2>&1 &
openbox_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
done

results=()
for build in "${builds[@]}"; do
    label=${build%%=*}
    exe=$(realpath "${build#*=}")
    # Folders of the build's own: IsEnabled is kept in the settings folder and would outlive a killed
    # Hovermark, and the accessibility bus's socket lands in the runtime folder.
    export XDG_RUNTIME_DIR=$work/$label/runtime XDG_CONFIG_HOME=$work/$label/config
    mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
    unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
    # setsid: the measuring half and everything it starts form one process group, ended by the timeout at worst.
    setsid timeout --kill-after=10 $((12 * seconds + 600)) dbus-run-session -- /usr/bin/python3 \
        benchmarks/atspi_at_rest.py measure --label "$label" --exe "$exe" --work-dir "$work/$label" \
        --seconds "$seconds" --results "$work/$label.json" \
        2> >(grep -v -e "fd limit" -e "Activating service name" -e "Successfully activated service" >&2) &
    measure_pid=$!
    wait "$measure_pid" || { echo "the measurement of $label ended early" >&2; exit 1; }
    measure_pid=""
    results+=("$work/$label.json")
done
/usr/bin/python3 benchmarks/atspi_at_rest.py table --seconds "$seconds" "${results[@]}"
