#!/usr/bin/env bash
# The native end-to-end run: on a fresh Debian 12 machine it installs what is missing, builds
# build/linux/hovermark with the linux preset, starts a virtual X display and runs
# tests/e2e_linux/run_e2e_linux.py against the real program, first under openbox, then without a window
# manager. Whatever happens, it leaves no display, window manager or program of its own behind.
#
#   scripts/e2e_linux.sh                              the checks
#   scripts/e2e_linux.sh --save-screenshots docs/     the checks, and the README's linux-*.png written to docs/
#   scripts/e2e_linux.sh --demo PATH                  no checks: a screenshot of Hovermark on the fixture at PATH,
#                                                     and one looking inside a GTK 3 window at PATH-inside.png
#   scripts/e2e_linux.sh --build-dir DIR ...          the program from another build directory (built there)
#   scripts/e2e_linux.sh --build-dir DIR --no-build   the program already built in DIR (another checkout's, say)
#   scripts/e2e_linux.sh --only REGEX                 only the look-inside groups whose titles match REGEX, after
#                                                     the ones that set up the desktop and start the program
#   scripts/e2e_linux.sh --work-dir DIR ...           logs and screenshots in DIR, emptied first (by default
#                                                     build/e2e-linux-run), so that two runs of one checkout never meet
#
# The virtual displays are the first free ones among :80 to :99; HOVERMARK_E2E_DISPLAYS=FIRST-LAST picks another
# range, so that runs from two checkouts at once never meet.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

source scripts/lib/ensure_packages.sh
source scripts/lib/virtual_display.sh
ensure_packages cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins libxcb1-dev libxcb-icccm4-dev \
    libxcb-ewmh-dev libxcb-shape0-dev libxcb-damage0-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation \
    xvfb xdotool xclip imagemagick openbox x11-utils x11-apps python3 python3-xlib python3-pil \
    libdbus-1-dev at-spi2-core dbus python3-dbus python3-pyatspi python3-gi gir1.2-gtk-3.0 gir1.2-gtk-4.0 python3-pyqt6 \
    chromium firefox-esr python3-dogtail gtk-3-examples tesseract-ocr tesseract-ocr-eng

build_dir=build/linux
work=$PWD/build/e2e-linux-run
demo=""
only=""
build=1
# What both runs are given besides the build and work folders, which each gets its own way.
passed=()
while (($#)); do
    case $1 in
    --build-dir) build_dir=${2:?--build-dir needs a folder}; shift 2 ;;
    --work-dir) work=$(realpath -m "${2:?--work-dir needs a folder}"); shift 2 ;;
    --no-build) build=0; shift ;;
    --only) only=${2:?--only needs a pattern}; shift 2 ;;
    --demo) demo=${2:?--demo needs a path}; passed+=("$1" "$2"); shift 2 ;;
    *) passed+=("$1"); shift ;;
    esac
done

if ((build)); then
    echo "== build ($build_dir, linux preset)"
    # Configured every time: a build folder from before the native program existed has no target for it yet.
    cmake --preset linux -B "$build_dir" >/dev/null
    # Incremental: a hovermark that is up to date costs a second, one that is not is never tested stale.
    cmake --build "$build_dir" -j "$(nproc)" --target hovermark
fi
[[ -x $build_dir/hovermark ]] || { echo "no program at $build_dir/hovermark" >&2; exit 2; }

rm -rf "$work"
mkdir -p "$work"

xvfb_pid=""
checks_pid=""
cleanup() {
    # The checks end what they started; should they be stopped halfway, their process group goes with them.
    if [[ -n $checks_pid ]] && kill -0 "$checks_pid" 2>/dev/null; then
        kill -TERM -- "-$checks_pid" 2>/dev/null || true
        wait "$checks_pid" 2>/dev/null || true
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# -dpi 96: the screen the main window's design is measured for (15 twips a pixel), instead of Xvfb's 100. The
# look-inside checks start one more display of their own in the same range.
export HOVERMARK_E2E_DISPLAYS=${HOVERMARK_E2E_DISPLAYS:-80-99}
[[ $HOVERMARK_E2E_DISPLAYS =~ ^([0-9]+)-([0-9]+)$ ]] || { echo "HOVERMARK_E2E_DISPLAYS must be FIRST-LAST" >&2; exit 2; }
start_virtual_display "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" "$work/xvfb.log" -dpi 96 || exit 1
export LANG=C.UTF-8

echo "== checks (the build and the display took $((SECONDS - started)) s)"
status=0
look_inside_arguments=(--build-dir "$build_dir" --work-dir "$work/look-inside" "${passed[@]}")
if [[ -n $only ]]; then
    look_inside_arguments+=(--only "$only")
else
    # setsid: the checks and everything they start (openbox, the fixture, hovermark, xclip) form one process group.
    setsid timeout --kill-after=10 240 /usr/bin/python3 tests/e2e_linux/run_e2e_linux.py --build-dir "$build_dir" \
        --work-dir "$work" "${passed[@]}" &
    checks_pid=$!
    wait "$checks_pid" || status=$?
    checks_pid=""
fi
if [[ -n $demo ]]; then
    ((status == 0)) || exit "$status"
    inside_demo=${demo%.png}-inside.png
    look_inside_arguments=(--build-dir "$build_dir" --work-dir "$work/look-inside" --demo "$inside_demo")
fi

echo "== looking inside windows: a session bus and an accessibility bus of the run's own"
# Folders of the run's own: IsEnabled is kept in the settings folder and would outlive the run, and the
# accessibility bus's socket lands in the runtime folder.
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config GSK_RENDERER=cairo NO_AT_BRIDGE=0
mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
setsid timeout --kill-after=10 600 dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$1/at-spi-bus-launcher.log" 2>&1 &
    launcher=$!
    shift
    /usr/bin/python3 tests/e2e_linux/run_e2e_look_inside.py "$@"
    code=$?
    kill "$launcher" 2>/dev/null
    exit "$code"' _ "$work" "${look_inside_arguments[@]}" &
checks_pid=$!
wait "$checks_pid" || status=$?
checks_pid=""
if [[ -n $demo && $status -eq 0 ]]; then
    echo
    echo "The demo's screenshots:"
    echo "  window mode, the pointer on the fixture's button:        $(realpath "$demo")"
    echo "  looking inside (F7), the pointer on a GTK 3 button:     $(realpath "$inside_demo")"
fi
exit "$status"
