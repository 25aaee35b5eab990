#!/usr/bin/env bash
# Installs what is missing, builds Hovermark and starts it on this machine's X display: the native Linux
# program, or with --wine the Windows program under Wine. Where there is no display, it shows a demo instead:
# Hovermark beside a small fixture application on a virtual display, the pointer on the fixture's button,
# and a screenshot written to a path it prints; the native program's demo then looks inside a GTK 3 window
# (F7), the pointer on its button, in a second screenshot.
#
#   scripts/run.sh            the native program (or its demo)
#   scripts/run.sh --wine     hovermark.exe under Wine (or its demo)
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/ensure_packages.sh
have_display() { [[ -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; }

if [[ ${1:-} == --wine ]]; then
    ensure_packages g++-mingw-w64-x86-64-posix cmake make wine wine64 fonts-wine fonts-liberation x11-utils
    if have_display; then
        cmake --preset windows >/dev/null
        cmake --build --preset windows -j "$(nproc)" --target hovermark
        export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
        echo "Starting build/windows/hovermark.exe under Wine on $DISPLAY"
        exec wine build/windows/hovermark.exe
    fi
    echo "No X display here: running the demo under Wine on a virtual display instead."
    exec scripts/e2e.sh --demo build/demo/hovermark-wine-demo.png
fi

ensure_packages cmake g++ make pkg-config qt6-base-dev qt6-qpa-plugins libxcb1-dev libxcb-icccm4-dev \
    libxcb-ewmh-dev libxcb-shape0-dev libxcb-damage0-dev libdbus-1-dev at-spi2-core libgtest-dev libgmock-dev \
    libbenchmark-dev fonts-liberation x11-utils
if have_display; then
    cmake --preset linux >/dev/null
    cmake --build --preset linux -j "$(nproc)" --target hovermark
    echo "Starting build/linux/hovermark on $DISPLAY"
    exec build/linux/hovermark
fi
echo "No X display here: running the demo on a virtual display instead."
exec scripts/e2e_linux.sh --demo build/demo/hovermark-demo.png
