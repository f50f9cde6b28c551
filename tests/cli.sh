#!/usr/bin/env bash
# The command line, with no display, against the recording IO.DLL: each row
# runs the program once and checks its exit status, what it wrote to the
# port, and what it printed. With "wine", the program is the Windows build.
#
#   cli.sh PROGRAM RECORDING-IO.DLL [wine|wine32]
set -euo pipefail

source "$(dirname "$0")/common.sh"
program_arguments "$@"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM # cron has no display either

mkdir "$work/app" "$work/alone"
cp "$ventrolik" "$work/app/$program"
cp "$recording" "$work/app/IO.DLL"
cp "$ventrolik" "$work/alone/$program"
record_calls

failed=0
# folder | arguments | driver's answer | exit status | IO.DLL calls | printed (stdout and stderr: a grep pattern, or nothing)
while IFS='|' read -r folder arguments answer status calls printed; do
    for column in folder arguments answer status calls printed; do
        read -r "$column" <<<"${!column}" # without the padding
    done
    rm -f "$work/calls"
    got=0
    # shellcheck disable=SC2086 # the arguments are words
    IO_DRIVER_ANSWER=$answer ${runner:+"$runner"} "$work/$folder/$program" $arguments >"$work/out" 2>&1 || got=$?
    seen=$(paste -sd, "$work/calls" 2>/dev/null || true)
    if [ "$printed" = nothing ]; then saw() { ! [ -s "$work/out" ]; }; else saw() { tr -d "\r" <"$work/out" | grep -q -- "$printed"; }; fi
    if [ "$got" != "$status" ] || [ "$seen" != "$calls" ] || ! saw; then
        echo "not ok '$arguments' (driver $answer): status $got, calls '$seen', printed:"
        sed 's/^/    | /' "$work/out"
        failed=$((failed + 1))
    else
        echo "ok '$arguments' (driver $answer)"
    fi
done <<'ROWS'
app   | on            | 1 | 0 | IsDriverInstalled,PortWordOut 888 1 | nothing
app   | off           | 1 | 0 | IsDriverInstalled,PortOut 888 0     | nothing
app   | on            | 0 | 1 | IsDriverInstalled                   | ^IO.DLL ne postoji u .windows.system folderu
app   | off           | 0 | 1 | IsDriverInstalled                   | ^IO.DLL ne postoji u .windows.system folderu
alone | on            | 1 | 1 |                                     | run-time error: cannot load 'IO.DLL'
app   | --version     | 1 | 0 |                                     | ^Ventrolik 1.00$
app   | --help        | 1 | 0 |                                     | ^  off  *switch the fan off
app   | --help off    | 1 | 0 |                                     | ^Usage: ventrolik
app   | up            | 1 | 2 |                                     | unknown argument 'up'
app   | on off        | 1 | 2 |                                     | one command at a time
ROWS
[ "$failed" -eq 0 ]
