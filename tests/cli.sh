#!/usr/bin/env bash
# The command line, with no display, against the recording IO.DLL: each row
# runs the program once and checks its exit status, what it wrote to the
# port, and what it printed. With "wine", the program is the Windows build.
#
#   cli.sh PROGRAM RECORDING-IO.DLL [wine|wine32]
set -euo pipefail

source "$(dirname "$0")/common.sh"
program_arguments "$@"
version=$("$(dirname "$0")/../tools/version")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM # cron has no display either

mkdir "$work/app" "$work/alone"
cp "$ventrolik" "$work/app/$program"
cp "$recording" "$work/app/IO.DLL"
cp "$ventrolik" "$work/alone/$program"
# Libraries that must never be loaded: planted in the current directory and
# below it, and one cut short where LD_LIBRARY_PATH leads.
mkdir -p "$work/cwd/lib" "$work/broken"
cp "$recording" "$work/cwd/IO.DLL"
cp "$recording" "$work/cwd/lib/IO.DLL"
head -c $(($(stat -c %s "$recording") / 2)) "$recording" >"$work/broken/IO.DLL"
record_calls

failed=0
# folder | LD_LIBRARY_PATH (- unset) | arguments | driver's answer | exit status | IO.DLL calls | printed (stdout and stderr: a grep pattern, or nothing)
while IFS='|' read -r folder path arguments answer status calls printed; do
    for column in folder path arguments answer status calls printed; do
        read -r "$column" <<<"${!column}" # without the padding
    done
    # The Windows search knows no LD_LIBRARY_PATH.
    [ "$path" != - ] && [ -n "$runner" ] && continue
    rm -f "$work/calls"
    got=0
    # shellcheck disable=SC2086 # the arguments are words
    (
        cd "$work/cwd"
        [ "$path" = - ] || export LD_LIBRARY_PATH=${path//\$work/$work}
        IO_DRIVER_ANSWER=$answer exec ${runner:+"$runner"} "$work/$folder/$program" $arguments
    ) >"$work/out" 2>&1 || got=$?
    seen=$(paste -sd, "$work/calls" 2>/dev/null || true)
    printed=${printed//\$version/$version}
    if [ "$printed" = nothing ]; then saw() { ! [ -s "$work/out" ]; }; else saw() { tr -d "\r" <"$work/out" | grep -q -- "$printed"; }; fi
    if [ "$got" != "$status" ] || [ "$seen" != "$calls" ] || ! saw; then
        echo "not ok '$arguments' (driver $answer, LD_LIBRARY_PATH $path): status $got, calls '$seen', printed:"
        sed 's/^/    | /' "$work/out"
        failed=$((failed + 1))
    else
        echo "ok '$arguments' (driver $answer, LD_LIBRARY_PATH $path)"
    fi
done <<'ROWS'
app   | -            | on         | 1 | 0 | IsDriverInstalled,PortWordOut 888 1 | nothing
app   | -            | off        | 1 | 0 | IsDriverInstalled,PortOut 888 0     | nothing
app   | -            | on         | 0 | 1 | IsDriverInstalled                   | ^IO.DLL ne postoji u .windows.system folderu
app   | -            | off        | 0 | 1 | IsDriverInstalled                   | ^IO.DLL ne postoji u .windows.system folderu
alone | -            | on         | 1 | 1 |                                     | run-time error: cannot load 'IO.DLL'
alone | :            | on         | 1 | 1 |                                     | skipped the empty entry
alone | .            | on         | 1 | 1 |                                     | skipped the relative entry '.'
alone | lib          | on         | 1 | 1 |                                     | skipped the relative entry 'lib'
alone | $work/broken | on         | 1 | 1 |                                     | cannot load 'IO.DLL': .*/broken/IO.DLL: file is truncated
app   | -            | --version  | 1 | 0 |                                     | ^Ventrolik $version$
app   | -            | --help     | 1 | 0 |                                     | ^  off  *switch the fan off
app   | -            | --help off | 1 | 0 |                                     | ^Usage: ventrolik
app   | -            | up         | 1 | 2 |                                     | unknown argument 'up'
app   | -            | on off     | 1 | 2 |                                     | one command at a time
ROWS
[ "$failed" -eq 0 ]
