#!/usr/bin/env bash
# The command line, with no display, against the recording IO.DLL and
# against our own IO.DLL on a serial relay module played on a pseudo-terminal:
# each row runs the program once and checks its exit status, what it wrote
# to the port or the relays, and what it printed. With "wine", the program is
# the Windows build, and the pseudo-terminal is its COM1. (HID relay boards
# are played on a real HID stack, Linux's and Wine's, in the kernel test.)
#
#   cli.sh PROGRAM RECORDING-IO.DLL [wine|wine32]
set -euo pipefail

source "$(dirname "$0")/common.sh"
program_arguments "$@"
version=$("$(dirname "$0")/../tools/version")
work=$(mktemp -d)
player=
cleanup() {
    [ -n "$player" ] && kill "$player"
    # COM1 must not outlive its pseudo-terminal in the prefix the other
    # Wine tests share.
    if [ -n "$runner" ]; then
        "$runner" reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null 2>&1 || true
        wineserver -w
    fi
    rm -rf "$work" "$setting"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM # cron has no display either

mkdir "$work/app" "$work/alone"
cp "$ventrolik" "$work/app/$program"
cp "$recording" "$work/app/IO.DLL"
cp "$ventrolik" "$work/alone/$program"
# Our own IO.DLL, as the build puts it beside the program.
mkdir "$work/real"
cp "$ventrolik" "$(dirname "$ventrolik")/IO.DLL" "$work/real/"
# Libraries that must never be loaded: planted in the current directory and
# below it, and one cut short where LD_LIBRARY_PATH leads.
mkdir -p "$work/cwd/lib" "$work/broken"
cp "$recording" "$work/cwd/IO.DLL"
cp "$recording" "$work/cwd/lib/IO.DLL"
head -c $(($(stat -c %s "$recording") / 2)) "$recording" >"$work/broken/IO.DLL"
record_calls
: >"$work/calls"

# A serial relay module on a pseudo-terminal: each frame it takes is a line
# in the calls.
cc -o "$work/relayplay" "$(dirname "$0")/kernel/relayplay.c"
"$work/relayplay" serial "$work/relay" >>"$work/calls" &
player=$!
eventually 5 test -L "$work/relay" || fail "no pseudo-terminal"
serial=$work/relay missing=/dev/ttyUSB9
if [ -n "$runner" ]; then
    # Wine makes its COM ports from this key at start-up.
    "$runner" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$(readlink "$work/relay")" /f >/dev/null 2>&1 ||
        fail "cannot map COM1"
    wineserver -w
    serial=COM1 missing=COM9
fi

# A setting file as Windows PowerShell saves it (UTF-16 with a byte order
# mark, CRLF), with a line it can't use: where Windows keeps it, for the
# rows with SETTING=powershell alone (Wine sets ProgramData itself).
printf 'junk\r\nlpt1 = COM1\r\n' | iconv -t UTF-16 >"$work/powershell.conf"
setting=${WINEPREFIX:-$HOME/.wine}/drive_c/ProgramData/Ventrolik/ventrolik.conf

failed=0
seen() { paste -sd, "$work/calls"; }
calls_are() { [ "$(seen)" = "$1" ]; }
# folder | environment (- none) | arguments | driver's answer | exit status | IO.DLL calls or relay frames | printed (stdout and stderr: a grep pattern, or nothing)
while IFS='|' read -r folder environment arguments answer status calls printed; do
    for column in folder environment arguments answer status calls printed; do
        read -r "$column" <<<"${!column}" # without the padding
        printf -v "$column" %s "${!column//\$work/$work}"
    done
    environment=${environment//\$serial/$serial} environment=${environment//\$missing/$missing}
    # The Windows search knows no LD_LIBRARY_PATH; /etc is not ours to write.
    [[ $environment == LD_LIBRARY_PATH=* ]] && [ -n "$runner" ] && continue
    # Without a command the Windows program opens its window; on Linux the
    # window is a program of its own, which isn't beside this one here.
    [ -z "$arguments" ] && [ -n "$runner" ] && continue
    if [[ $environment == SETTING=* ]]; then
        [ -n "$runner" ] || continue
        mkdir -p "$(dirname "$setting")"
        cp "$work/${environment#SETTING=}.conf" "$setting"
    fi
    : >"$work/calls"
    got=0
    # shellcheck disable=SC2086 # the arguments are words
    (
        cd "$work/cwd"
        [ "$environment" = - ] || export "$environment"
        IO_DRIVER_ANSWER=$answer exec ${runner:+"$runner"} "$work/$folder/$program" $arguments
    ) >"$work/out" 2>&1 || got=$?
    rm -f "$setting"
    eventually 2 calls_are "$calls" || true # frames arrive after the program ends
    seen=$(seen)
    printed=${printed//\$version/$version} printed=${printed//\$missing/$missing}
    if [ "$printed" = nothing ]; then saw() { ! [ -s "$work/out" ]; }; else saw() { tr -d "\r" <"$work/out" | grep -q -- "$printed"; }; fi
    if [ "$got" != "$status" ] || [ "$seen" != "$calls" ] || ! saw; then
        echo "not ok '$arguments' ($folder, driver $answer, $environment): status $got, calls '$seen', printed:"
        sed 's/^/    | /' "$work/out"
        failed=$((failed + 1))
    else
        echo "ok '$arguments' ($folder, driver $answer, $environment)"
    fi
done <<'ROWS'
app   | -                                  | on         | 1 | 0 | IsDriverInstalled,PortWordOut 888 1 | nothing
app   | -                                  | off        | 1 | 0 | IsDriverInstalled,PortOut 888 0     | nothing
app   | -                                  | on         | 0 | 1 | IsDriverInstalled                   | ^IO.DLL ne postoji u .windows.system folderu
app   | -                                  | off        | 0 | 1 | IsDriverInstalled                   | ^IO.DLL ne postoji u .windows.system folderu
alone | -                                  | on         | 1 | 1 |                                     | run-time error: cannot load 'IO.DLL'
alone | LD_LIBRARY_PATH=:                  | on         | 1 | 1 |                                     | skipped the empty entry
alone | LD_LIBRARY_PATH=.                  | on         | 1 | 1 |                                     | skipped the relative entry '.'
alone | LD_LIBRARY_PATH=lib                | on         | 1 | 1 |                                     | skipped the relative entry 'lib'
alone | LD_LIBRARY_PATH=$work/broken       | on         | 1 | 1 |                                     | cannot load 'IO.DLL': .*/broken/IO.DLL: file is truncated
real  | VENTROLIK_LPT1=$serial             | on         | - | 0 | serial a0 01 01 a2                  | LPT1 (0x378) is the serial relay module on .*: data line D0 is relay 1
real  | VENTROLIK_LPT1=$serial             | off        | - | 0 | serial a0 01 00 a1                  | LPT1 (0x378) is the serial relay module
real  | VENTROLIK_LPT1=$serial relays=2    | on         | - | 0 | serial a0 01 01 a2,serial a0 02 00 a2 | data lines D0-D1 are relays 1-2
real  | VENTROLIK_LPT1=$missing            | on         | - | 1 |                                     | ^IO.DLL: cannot open '.*$missing'
real  | -                                  | on         | - | 1 |                                     | ^IO.DLL: no 
real  | SETTING=powershell                 | on         | - | 0 | serial a0 01 01 a2                  | ventrolik.conf:1: 'junk' is not KEY=VALUE
app   | -                                  |            | 1 | 2 |                                     | cannot start the window (.*/ventrolik-window: No such file or directory): it comes with the package 'ventrolik'
app   | -                                  | --version  | 1 | 0 |                                     | ^Ventrolik $version$
app   | -                                  | --help     | 1 | 0 |                                     | ^  off  *switch the fan off
app   | -                                  | --help off | 1 | 0 |                                     | ^Usage: ventrolik
app   | -                                  | up         | 1 | 2 |                                     | unknown argument 'up'
app   | -                                  | on off     | 1 | 2 |                                     | one command at a time
app   | -                                  | thermostat --sensor a/b --on 40 --off 50 | 1 | 2 |       | must be above '--off'\|runs on Linux only
ROWS
[ "$failed" -eq 0 ]
