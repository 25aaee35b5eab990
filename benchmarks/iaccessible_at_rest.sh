#!/usr/bin/env bash
# What looking inside windows costs on Windows, under Wine, beside window mode in one run: hovermark.exe with
# the pointer at rest on the drawn button of the look-inside fixture (tests/e2e/accessible_fixture.cpp), which
# describes its controls through IAccessible and counts every call it receives. For window mode and then with
# the mode switched on (F7): the fixture's IAccessible calls, and the messages that carried calls to it, per
# tick at rest and in the second after the pointer moved to another drawn control, and the CPU time of
# Hovermark, of the fixture and of the prefix's wineserver from the scheduler (/proc/PID/task/*/schedstat), over
# the same time each. A benchmark, not a test: it prints figures and checks nothing. It leaves no display, Wine
# server or program of its own behind.
#
#   benchmarks/iaccessible_at_rest.sh [SECONDS] [--build-dir DIR] [--displays FIRST LAST] [--exe [LABEL=]PATH]...
#       default: 30 seconds, build/windows, displays :70 to :73, the build dir's hovermark.exe
#   --exe, given once for each build, measures those hovermark.exe back to back in one run (two are labelled
#   "before" and "after" unless labelled) and prints their figures side by side; the fixture is the build dir's,
#   and a relative PATH is taken from the repository's root.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
build_dir=build/windows
first_display=70
last_display=73
exes=()
while (($#)); do
    case $1 in
        --build-dir) build_dir=$2; shift 2 ;;
        --exe) exes+=(--exe "$2"); shift 2 ;;
        --displays) first_display=$2; last_display=$3; shift 3 ;;
        *) seconds=$1; shift ;;
    esac
done

echo "== build ($build_dir)"
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
    cmake --preset windows -B "$build_dir" >/dev/null
fi
cmake --build "$build_dir" -j 2 --target hovermark hovermark_accessible_fixture hovermark_read_clipboard >/dev/null

source scripts/lib/virtual_display.sh
work=$PWD/build/bench-iaccessible
mkdir -p "$work"
xvfb_pid=""
cleanup() {
    # Every Windows program of this benchmark lives in this prefix: ending its server ends them all.
    if [[ -d ${WINEPREFIX:-} ]]; then
        timeout 30 wineserver -k 2>/dev/null || true
        timeout 30 wineserver -w 2>/dev/null || true
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
start_virtual_display "$first_display" "$last_display" "$work/xvfb.log" || exit 1

export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
timeout 300 wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
/usr/bin/python3 benchmarks/iaccessible_at_rest.py --build-dir "$build_dir" --work-dir "$work" --seconds "$seconds" \
    "${exes[@]}"
