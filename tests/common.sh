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

# Whether this machine runs 32-bit Windows programs: its kernel runs 32-bit
# x86 programs, and 32-bit Wine is installed. If not, the reason on stdout.
runs_32bit_windows() {
    local tools
    tools=$(dirname "${BASH_SOURCE[0]}")/../tools
    "$tools/runs-32bit" && "$tools/has-wine32"
}

# Needs that; elsewhere the test ends as skipped (CTest's
# SKIP_RETURN_CODE), saying why.
need_32bit() {
    local reason
    reason=$(runs_32bit_windows) || { echo "SKIP: $reason"; exit 77; }
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

# Prints the id of a visible window whose title is exactly $1, if any.
visible() {
    local ids
    ids=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null) || true
    [ -n "$ids" ] && head -n 1 <<<"$ids"
}

# Where the main window's buttons are, as the program lays them out: the
# tests' clickpoints helper $1 (run with $runner, if set) gives each
# button's centre in the client area, as ${name}_x and ${name}_y, and the
# client area's height.
load_clickpoints() {
    local points
    points=$(${runner:+"$runner"} "$1") || fail "$1 did not run"
    eval "${points//$'\r'/}"
}

# The height of the menu bar of the window $1: all of it above the client
# area, as the window has no frame of its own in an X server with no
# window manager.
menu_bar() {
    local height
    height=$(xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
    echo $((height - client_height))
}

# Clicks the centre of the button $2 of the main window $1.
click_button() {
    local x=${2}_x y=${2}_y
    xdotool mousemove --window "$1" "${!x}" $(($(menu_bar "$1") + ${!y})) click 1
}

# Opens the main window $1's first menu, Akcija: a click in the menu bar a
# half bar's height in, which is within an entry as wide as a word.
open_menu() {
    local bar
    bar=$(menu_bar "$1")
    xdotool mousemove --window "$1" $((bar / 2)) $((bar / 2)) click 1
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
