#!/usr/bin/env bash
# The end-to-end run in a Wayland session: on a fresh Debian 12 machine it installs sway, grim and XWayland with
# what the X11 run needs, builds build/linux/hovermark, and runs tests/e2e_linux/run_e2e_wayland.py, which
# starts sway headless with its XWayland and checks the real program there. sway refuses to run as root: it runs
# as the unprivileged user hovermark-wayland, made here if missing. One run at a time holds the user (a lock);
# whatever happens, no process of that user is left behind.
#
#   scripts/e2e_wayland.sh                        the checks
#   scripts/e2e_wayland.sh --build-dir DIR        the program from another build directory (built there)
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/ensure_packages.sh
ensure_packages cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins libxcb1-dev libxcb-icccm4-dev \
    libxcb-ewmh-dev libxcb-shape0-dev libxcb-damage0-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation \
    libdbus-1-dev at-spi2-core dbus python3 python3-xlib python3-pil python3-pyatspi python3-gi gir1.2-atspi-2.0 \
    sway grim xwayland xdotool xclip x11-utils passwd util-linux

build_dir=build/linux
while (($#)); do
    case $1 in
        --build-dir) build_dir=$2; shift 2 ;;
        *) echo "usage: $0 [--build-dir DIR]" >&2; exit 2 ;;
    esac
done

echo "== build ($build_dir, linux preset)"
cmake --preset linux -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target hovermark

user=hovermark-wayland
if ! id -u "$user" >/dev/null 2>&1; then
    echo "== making the user $user"
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
fi

# One Wayland run at a time: the user's processes are then all this run's, and the end of the run ends them all.
exec 9>/tmp/hovermark-wayland-e2e.lock
flock -w 300 9 || { echo "another Wayland run holds /tmp/hovermark-wayland-e2e.lock" >&2; exit 1; }

work=$PWD/build/e2e-wayland-run
rm -rf "$work"
mkdir -p "$work"
# The session's files, readable by the user wherever the repository lies.
run_dir=$(mktemp -d /tmp/hovermark-wayland.XXXXXX)
chmod 755 "$run_dir"

checks_pid=""
end_user_processes() {
    local uid pid
    uid=$(id -u "$user")
    for signal in TERM KILL; do
        for pid in $(ps -o pid= -u "$uid"); do kill "-$signal" "$pid" 2>/dev/null || true; done
        for _ in $(seq 30); do
            [[ -z $(ps -o pid= -u "$uid") ]] && return 0
            sleep 0.1
        done
    done
}
cleanup() {
    if [[ -n $checks_pid ]] && kill -0 "$checks_pid" 2>/dev/null; then
        kill -TERM -- "-$checks_pid" 2>/dev/null || true
        wait "$checks_pid" 2>/dev/null || true
    fi
    # The checks end sway and the user's processes themselves; this is for checks that were stopped halfway.
    end_user_processes
    rm -rf "$run_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== checks in a Wayland session (sway $(sway --version | awk '{print $3}'), XWayland $(dpkg-query -W -f='${Version}' xwayland))"
status=0
setsid timeout --kill-after=10 150 /usr/bin/python3 tests/e2e_linux/run_e2e_wayland.py --build-dir "$build_dir" \
    --work-dir "$work" --run-dir "$run_dir" --user "$user" &
checks_pid=$!
wait "$checks_pid" || status=$?
checks_pid=""
exit "$status"
