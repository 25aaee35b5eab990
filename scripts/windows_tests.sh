#!/usr/bin/env bash
# Checks that hovermark.exe imports only the DLLs every Windows 10 and 11 has, then runs the Windows front
# end's tests (build/windows/hovermark_windows_tests.exe) under Wine on a virtual X display. They run inside
# a Wine virtual desktop: without a window manager Wine waits two seconds for every visible window it
# destroys, and the desktop spares the tests that wait. The desktop does not pass the test program's exit
# code on, so the verdict is read from GoogleTest's XML report.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build/windows
work_dir=$build_dir/windows-tests
report=$work_dir/report.xml
mkdir -p "$work_dir"
rm -f "$report"

# Any other DLL (dwmapi among them) is loaded at run time, so the program starts on every system as it is. The
# COM and accessibility DLLs (ole32, oleaut32, oleacc) are on every Windows since Windows 98.
imports=$(x86_64-w64-mingw32-objdump -p "$build_dir/hovermark.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    sort -f | paste -sd ' ')
allowed="COMCTL32.dll GDI32.dll KERNEL32.dll msvcrt.dll ole32.dll OLEACC.dll OLEAUT32.dll USER32.dll"
if [[ $imports != "$allowed" ]]; then
    echo "hovermark.exe imports $imports: only $allowed are allowed." >&2
    exit 1
fi

export WINEPREFIX=${WINEPREFIX:-$PWD/build/wine-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    xvfb-run -a wineboot -i >/dev/null 2>&1
fi

xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    timeout 300 wine explorer /desktop=hovermark-tests,1280x1024 \
    "$build_dir/hovermark_windows_tests.exe" "--gtest_output=xml:$(winepath -w "$report" 2>/dev/null)" || true
wineserver -k 2>/dev/null || true

if [[ ! -s $report ]]; then
    echo "The Windows tests wrote no report: they did not run to the end." >&2
    exit 1
fi
/usr/bin/python3 - "$report" <<'PY'
import sys
import xml.etree.ElementTree as tree

suites = tree.parse(sys.argv[1]).getroot()
tests, failures, errors = (int(suites.get(name, "0")) for name in ("tests", "failures", "errors"))
for case in suites.iter("testcase"):
    for failure in case.findall("failure"):
        print(f"FAILED {case.get('classname')}.{case.get('name')}:\n{failure.get('message')}")
print(f"Windows tests: {tests} run, {failures} failed, {errors} errors")
sys.exit(0 if tests > 0 and failures == 0 and errors == 0 else 1)
PY
