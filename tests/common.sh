# shellcheck shell=bash
# Shell helpers for the test scripts: source this file.

# Runs a check every tenth of a second until it holds or $1 seconds pass.
eventually() {
    local tries=$(($1 * 10))
    shift
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Needs a kernel that runs 32-bit x86 programs; elsewhere the test ends as
# skipped (CTest's SKIP_RETURN_CODE), saying why.
need_32bit() {
    local reason
    reason=$("$(dirname "${BASH_SOURCE[0]}")/../tools/runs-32bit") || { echo "SKIP: $reason"; exit 77; }
}

# The arguments of a script that runs the program, PROGRAM RECORDING-IO.DLL
# [wine|wine32], as $ventrolik, $recording and $runner (Wine's loader, for
# either Windows build), and the program's file name as $program. With
# "wine32", the program is the 32-bit build, for 32-bit Wine. Each build
# calls its own loader: /usr/bin/wine takes the 32-bit one wherever 32-bit
# Wine is installed, even where the kernel can't run it.
program_arguments() {
    ventrolik=$1 recording=$2 runner=${3:-}
    case $runner in
    wine32) need_32bit && runner=/usr/lib/wine/wine ;;
    wine) runner=/usr/lib/wine/wine64 ;;
    esac
    program=$(basename "$ventrolik")
}

# Stops the test: what failed, then what the program said on stderr, if it
# wrote to $work/stderr.
fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/stderr" ] && sed 's/^/  program: /' "$work/stderr" >&2
    exit 1
}

# An X server of our own on a free display (Xvfb writes its number once it
# is ready), as $DISPLAY for what runs from here on; its PID is $xvfb_pid.
# -noreset: a program that starts just as the last client leaves would
# otherwise meet the server mid-reset and fail to connect.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    xvfb_pid=$!
    eventually 30 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(cat "$work/display")
    unset QT_QPA_PLATFORM
}

# Prints the id of a visible window whose title is exactly $1, if any.
visible() {
    local ids
    ids=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null) || true
    [ -n "$ids" ] && head -n 1 <<<"$ids"
}

# Clicks at x=$2, y=$3 pixels of the main window $1's client area (below
# the menu bar, which is the window's height less the client's 52 pixels).
click_client() {
    local height
    height=$(xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
    xdotool mousemove --window "$1" "$2" $((height - 52 + $3)) click 1
}

# Points the recording IO.DLL at $work/calls, by the path the program sees:
# under Wine, a Z: path, once the prefix is set up.
record_calls() {
    IO_RECORD_FILE=$work/calls
    if [ -n "$runner" ]; then
        "$runner" wineboot -i >/dev/null 2>&1 || fail "Wine could not set up its prefix"
        IO_RECORD_FILE=Z:$work/calls
    fi
    export IO_RECORD_FILE
}
