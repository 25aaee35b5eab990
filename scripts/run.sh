#!/usr/bin/env bash
# Installs what is missing, builds hovermark.exe and starts it under Wine on this machine's X display. Where
# there is no display, it shows a demo instead: Hovermark beside a small fixture application on a virtual
# display, the pointer on the fixture's OK button, and a screenshot written to a path it prints.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/ensure_packages.sh
ensure_packages g++-mingw-w64-x86-64-posix cmake make wine wine64 fonts-wine fonts-liberation x11-utils

if [[ -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; then
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "$(nproc)" --target hovermark
    export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
    echo "Starting build/windows/hovermark.exe under Wine on $DISPLAY"
    exec wine build/windows/hovermark.exe
fi

echo "No X display here: running the demo on a virtual display instead."
exec scripts/e2e.sh --demo build/demo/hovermark-demo.png
