#!/usr/bin/env bash
# The test command: on a fresh Debian 12 machine it installs what is missing, then builds the portable core
# and runs every test twice, once with warnings as errors and once under AddressSanitizer and
# UndefinedBehaviorSanitizer. It also checks that every source file is clang-formatted and clang-tidy clean.
# Then it cross-compiles the Windows program and proves it under Wine on a virtual X display: the front end's
# own tests, and the whole program driven end to end as a user drives it.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/lib/ensure_packages.sh
ensure_packages cmake g++ make libgtest-dev libgmock-dev googletest libbenchmark-dev clang-format clang-tidy \
    g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool x11-utils imagemagick fonts-wine fonts-liberation

jobs=$(nproc)

echo "== format"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== build and test (warnings as errors)"
cmake --preset linux
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"

echo "== clang-tidy"
run-clang-tidy -p build/linux -quiet -j "$jobs" '/(window_inspection|highlight_frame|main_window|app|tests|benchmarks)/' >build/linux/clang-tidy.log 2>&1 ||
    { grep -E 'warning:|error:' build/linux/clang-tidy.log | sort -u; exit 1; }

echo "== build and test (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset sanitizers
cmake --build --preset sanitizers -j "$jobs"
ctest --preset sanitizers -j "$jobs"

echo "== Windows build"
cmake --preset windows
cmake --build --preset windows -j "$jobs"

echo "== Windows front end tests under Wine"
scripts/windows_tests.sh

echo "== end to end under Wine"
scripts/e2e.sh
