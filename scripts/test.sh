#!/usr/bin/env bash
# The test command: on a fresh Debian 12 machine it installs what is missing, then builds the native Linux program
# with the portable core and runs every test with warnings as errors: the core's on the test doubles, the XCB window
# system's and the Qt toolkit's against a real X server on a virtual display. It runs the core's and the XCB window
# system's tests again under AddressSanitizer and UndefinedBehaviorSanitizer, checks that every source file is
# clang-formatted and clang-tidy clean. It packages the Linux program as a .deb and checks the package, then drives
# the real program end to end as a user does, under a window manager and without one, and in a Wayland session
# through XWayland. Last it cross-compiles the Windows program and proves it under Wine: the front end's own tests,
# and end to end.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/ensure_packages.sh
ensure_packages cmake g++ make libgtest-dev libgmock-dev googletest libbenchmark-dev clang-format clang-tidy \
    g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool x11-utils imagemagick fonts-wine fonts-liberation \
    pkg-config qt6-base-dev qt6-qpa-plugins libxcb1-dev libxcb-icccm4-dev libxcb-ewmh-dev libxcb-shape0-dev libxcb-damage0-dev openbox xclip \
    python3 python3-xlib python3-pil dpkg-dev file desktop-file-utils \
    libdbus-1-dev at-spi2-core dbus python3-dbus python3-gi python3-pyatspi gir1.2-atspi-2.0 gir1.2-gtk-3.0 gir1.2-gtk-4.0 \
    python3-pyqt6 sway grim xwayland python3-dogtail gtk-3-examples tesseract-ocr tesseract-ocr-eng

jobs=$(nproc)

echo "== format"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== build and test (warnings as errors)"
cmake --preset linux
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"

echo "== clang-tidy"
run-clang-tidy -p build/linux -quiet -j "$jobs" '/(window_inspection|locator|highlight_frame|main_window|app|tests|benchmarks|platform/x11|platform/qt|platform/atspi|tools)/' >build/linux/clang-tidy.log 2>&1 ||
    { grep -E 'warning:|error:' build/linux/clang-tidy.log | sort -u; exit 1; }

echo "== build and test (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset sanitizers
cmake --build --preset sanitizers -j "$jobs"
ctest --preset sanitizers -j "$jobs"

echo "== the XCB window system's and the accessibility bus's tests under the sanitizers (they parse what other programs give)"
cmake --preset sanitizers -B build/sanitizers-x11 -DHOVERMARK_NATIVE_LINUX=ON >/dev/null
cmake --build build/sanitizers-x11 -j "$jobs" --target hovermark_x11_tests hovermark_atspi_match_tests hovermark_atspi_tests
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitizers-x11 -R '^(x11_window_system|atspi_top_level_match)$' --output-on-failure
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitizers-x11 -R '^atspi_(on_the_bus|without_session_bus|without_accessibility_bus)$' \
    --output-on-failure

echo "== Linux package"
scripts/check_linux_package.sh build/linux

echo "== end to end on X11 (openbox, and no window manager)"
scripts/e2e_linux.sh

echo "== end to end in a Wayland session (sway headless, XWayland)"
scripts/e2e_wayland.sh

echo "== Windows build"
cmake --preset windows
cmake --build --preset windows -j "$jobs"

echo "== Windows front end tests under Wine"
scripts/windows_tests.sh

echo "== end to end under Wine"
scripts/e2e.sh
