# Sourced by the end-to-end scripts: starts Xvfb on the first free display of a range, waits until it answers,
# and paints the root a slate colour, for screenshots that read well. Sets xvfb_pid, which the caller's
# cleanup ends, and exports DISPLAY.
#
#   start_virtual_display FIRST LAST LOG_FILE [XVFB_ARGUMENT...]
start_virtual_display() {
    local first=$1 last=$2 log=$3 number free=""
    shift 3
    for ((number = first; number <= last; number++)); do
        if [[ ! -e /tmp/.X${number}-lock && ! -e /tmp/.X11-unix/X${number} ]]; then
            free=$number
            break
        fi
    done
    [[ -n $free ]] || { echo "no free display among :$first-:$last" >&2; return 1; }

    echo "== virtual display :$free"
    # -noreset: otherwise the pointer jumps to the centre whenever the last client disconnects.
    Xvfb ":$free" -screen 0 1280x1024x24 -noreset -nolisten tcp "$@" >"$log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$free"
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && break
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$log" >&2; return 1; }
        sleep 0.1
    done
    xdpyinfo >/dev/null 2>&1 || { echo "the virtual display did not come up" >&2; return 1; }
    # display sets the background, then exits non-zero.
    display -window root -size 1280x1024 'xc:#3B4A5A' 2>/dev/null || true
}
