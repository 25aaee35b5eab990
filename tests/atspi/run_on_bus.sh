#!/usr/bin/env bash
# Runs a test program where the element system's tests need it, in folders of its own (IsEnabled is kept in
# the settings folder and would outlive the run; the accessibility bus's socket lands in the runtime folder):
#   run_on_bus.sh bus PROGRAM [ARGS]         a virtual display under openbox, a session bus, an accessibility bus
#   run_on_bus.sh no-session PROGRAM [ARGS]   no session bus at all
#   run_on_bus.sh no-accessibility PROGRAM    a session bus that cannot start an accessibility bus
set -euo pipefail
case=$1
shift
if [[ $case != inside ]]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config GSK_RENDERER=cairo
    mkdir -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
    unset AT_SPI_BUS_ADDRESS
fi

case $case in
bus)
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" dbus-run-session -- "$0" inside "$@"
    ;;
inside)
    # Inside the display and the session bus: the accessibility bus and the window manager, then the program.
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    launcher=$!
    # The tests find the accessibility bus's daemon among its children, to stop it.
    export HOVERMARK_ATSPI_LAUNCHER_PID=$launcher
    openbox --sm-disable >/dev/null 2>&1 &
    manager=$!
    sleep 1
    status=0
    "$@" || status=$?
    kill "$launcher" "$manager" 2>/dev/null || true
    wait 2>/dev/null || true
    exit "$status"
    ;;
no-session)
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus-here HOVERMARK_MISSING_BUS=session
    exec "$@"
    ;;
no-accessibility)
    # A session bus that knows no services, so nothing can start an accessibility bus on it.
    cat >"$work/session.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    export HOVERMARK_MISSING_BUS=accessibility
    exec dbus-run-session --config-file="$work/session.conf" -- "$@"
    ;;
esac
