#!/usr/bin/env bash
# Packages the native Linux build as a .deb and checks what a user would install: the program, its desktop
# entry and its three hicolor icons under /usr, and dependencies on the Qt and XCB libraries it links.
#
#   scripts/check_linux_package.sh [BUILD_DIR]       (default build/linux, built already)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/linux}

rm -rf "$build_dir/package"
(cd "$build_dir" && cpack -G DEB -B package >package.log 2>&1) || { cat "$build_dir/package.log" >&2; exit 1; }
deb=$(ls "$build_dir"/package/hovermark_*.deb)
echo "package: $deb"

failures=0
check() {
    if "$@"; then echo "ok: ${description}"; else echo "FAILED: ${description}" >&2; failures=$((failures + 1)); fi
}

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/hovermark ./usr/share/applications/hovermark.desktop \
    ./usr/share/icons/hicolor/16x16/apps/hovermark.png ./usr/share/icons/hicolor/32x32/apps/hovermark.png \
    ./usr/share/icons/hicolor/48x48/apps/hovermark.png; do
    description="the package holds $path"
    check grep -qxF "$path" <<<"$contents"
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in qt6-qpa-plugins libqt6widgets6 libqt6gui6 libqt6core6 libxcb1 libdbus-1-3 libc6; do
    description="the package depends on $library"
    check grep -qE "(^|, )$library( |,|$)" <<<"$depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Recommends: $recommends"
for package in fonts-liberation at-spi2-core; do
    description="the package recommends $package"
    check grep -qE "(^|, )$package( |,|$)" <<<"$recommends"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
description="the desktop entry is valid"
check desktop-file-validate "$unpacked/usr/share/applications/hovermark.desktop"
for size in 16 32 48; do
    description="the ${size}-pixel icon is a ${size}x${size} PNG"
    check grep -q "PNG image data, $size x $size" <<<"$(file "$unpacked/usr/share/icons/hicolor/${size}x${size}/apps/hovermark.png")"
done
description="the packaged program is stripped"
check grep -q ", stripped" <<<"$(file "$unpacked/usr/bin/hovermark")"

((failures == 0)) || { echo "package check: $failures failed" >&2; exit 1; }
echo "package check passed"
