#!/usr/bin/env bash
# How long a locator's check takes to read an application whole over the accessibility bus (a check has one
# second for all of it): gtk3-widget-factory, Firefox ESR on the look-inside run's page, and the locator
# fixtures, on a virtual display under openbox with a session bus and an accessibility bus of the run's own.
# benchmarks/atspi_tree_read.cpp reads and prints; this starts and ends everything around it. A benchmark, not a
# test: it prints figures and checks nothing.
#
#   benchmarks/atspi_tree_read.sh [ROUNDS] [--build-dir DIR]     default: 20 rounds, build/linux (built there)
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=20
build_dir=build/linux
while (($#)); do
    case $1 in
        --build-dir) build_dir=${2:?--build-dir needs a folder}; shift 2 ;;
        *) rounds=$1; shift ;;
    esac
done
[[ $rounds =~ ^[0-9]+$ ]] && ((rounds > 0)) || { echo "ROUNDS must be a whole number above 0" >&2; exit 2; }

echo "== build ($build_dir)"
[[ -f $build_dir/CMakeCache.txt ]] || cmake --preset linux -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j 2 --target atspi_tree_read >/dev/null
reader=$(realpath "$build_dir/benchmarks/atspi_tree_read")

source scripts/lib/virtual_display.sh
work=$PWD/build/bench-atspi-tree-read
rm -rf "$work"
mkdir -p "$work"
xvfb_pid=""
measure_pid=""
cleanup() {
    # The measuring half and everything it started form one process group, which may outlive its leader.
    if [[ -n $measure_pid ]]; then
        kill -TERM -- "-$measure_pid" 2>/dev/null || true
        wait "$measure_pid" 2>/dev/null || true
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
start_virtual_display 60 64 "$work/xvfb.log" || exit 1
export LANG=C.UTF-8 NO_AT_BRIDGE=0 XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$work/firefox-profile"
unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
cat >"$work/firefox-profile/user.js" <<'PREFS'
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.enabled", false);
PREFS

echo "== reading whole applications, $rounds rounds each"
# setsid: the measuring half and everything it starts form one process group, ended by the timeout at worst.
setsid timeout --kill-after=10 600 dbus-run-session -- bash -c '
    work=$1 reader=$2 rounds=$3
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/launcher.log" 2>&1 &
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    sleep 1
    # Firefox describes its page only once IsEnabled is true.
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null
    gtk3-widget-factory >"$work/widget-factory.log" 2>&1 &
    for mode in duplicates hostile; do
        sleep 600 | /usr/bin/python3 tests/e2e_linux/locator_fixture.py 20 20 "$mode" >/dev/null 2>"$work/$mode.log" &
    done
    firefox-esr --no-remote --profile "$work/firefox-profile" -width 700 -height 340 \
        "file://$PWD/tests/e2e_linux/browser_page.html" >"$work/firefox.log" 2>&1 &
    names=(gtk3-widget-factory Firefox hovermark-locator-duplicates hovermark-locator-hostile)
    # Until the page has loaded and every one is read whole once (Firefox takes a while to start on two cores).
    for _ in $(seq 120); do
        xdotool search --name "^Hovermark browser page" >/dev/null 2>&1 && "$reader" 1 "${names[@]}" >/dev/null 2>&1 &&
            break
        sleep 1
    done
    sleep 2
    "$reader" "$rounds" "${names[@]}"' _ "$work" "$reader" "$rounds" \
    2> >(grep -v -e "fd limit" -e "Activating service name" -e "Successfully activated service" >&2) &
measure_pid=$!
wait "$measure_pid"
