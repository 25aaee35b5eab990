#!/usr/bin/env bash
# The end-to-end run: on a fresh Debian 12 machine it installs what is missing, cross-compiles hovermark.exe
# and the helpers, starts a virtual X display and a fresh Wine prefix, and runs tests/e2e/run_e2e.py against
# the real program, then tests/e2e/run_e2e_look_inside.py, which looks inside a window whose controls are
# described through IAccessible alone. Whatever happens, it leaves no display, Wine server or program of its
# own behind.
#
#   scripts/e2e.sh                              the checks
#   scripts/e2e.sh --save-screenshots docs/     the checks, and the README's screenshots written to docs/
#
# HOVERMARK_E2E_DISPLAYS=FIRST-LAST picks the virtual display's number (by default 96-99), as for e2e_linux.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

source scripts/lib/ensure_packages.sh
source scripts/lib/virtual_display.sh
ensure_packages g++-mingw-w64-x86-64-posix cmake make wine wine64 xvfb xdotool imagemagick fonts-wine fonts-liberation \
    x11-utils xclip python3

echo "== build (windows preset)"
cmake --preset windows
cmake --build --preset windows -j "$(nproc)"

work=$PWD/build/e2e
rm -rf "$work"
mkdir -p "$work"

xvfb_pid=""
cleanup() {
    # Every Windows program of this run lives in this prefix: ending its server ends them all.
    if [[ -n ${WINEPREFIX:-} && -d $WINEPREFIX ]]; then
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

# Displays 96-99 are this run's, unless HOVERMARK_E2E_DISPLAYS says otherwise.
displays=${HOVERMARK_E2E_DISPLAYS:-96-99}
[[ $displays =~ ^[0-9]+-[0-9]+$ ]] || { echo "HOVERMARK_E2E_DISPLAYS must be FIRST-LAST, not $displays" >&2; exit 2; }
start_virtual_display "${displays%-*}" "${displays#*-}" "$work/xvfb.log" || exit 1

echo "== Wine prefix"
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
timeout 300 wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
# Wine has no Courier New, the list's font; Liberation Mono has its metrics, as Windows' own font would.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /t REG_SZ /d 'Liberation Mono' /f \
    >>"$work/wineboot.log" 2>&1

echo "== checks"
status=0
timeout 420 /usr/bin/python3 tests/e2e/run_e2e.py --build-dir build/windows --work-dir "$work" "$@" || status=$?
echo "== checks: looking inside windows"
timeout 300 /usr/bin/python3 tests/e2e/run_e2e_look_inside.py --build-dir build/windows --work-dir "$work" "$@" ||
    status=$?
echo "e2e.sh took $((SECONDS - started)) s"
exit "$status"
