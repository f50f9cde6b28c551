#!/usr/bin/env bash
# Wine on a real HID stack, in the kernel test's guest, on the host's root:
# the Wine prefix, and the helpers of the Windows scenario, which sources
# this file.
#
#   wine.sh prefix KEEP
#   source wine.sh KEEP TESTS-FOLDER BUILD-FOLDER
#
# The Wine prefix is kept in the folder KEEP, made once and seen through an
# overlay after that. The first form makes it: on the host, which is quicker
# than in the guest, where the host's kernel runs 32-bit programs; else in
# a guest of its own. TESTS-FOLDER holds the Linux build's relayplay and
# xclose; BUILD-FOLDER holds Ventrolik.exe, our IO.DLL and the tests'
# clickpoints helper, which says where the window's buttons are.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver64
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
if [ "$1" = prefix ]; then keep=$2; else keep=$1 tests=$2 build=$3; fi
# A prefix made before 32-bit Wine was installed has no 32-bit half: one is
# kept for each Wine, and for it with or without 32-bit Wine.
kept=$keep/wine-prefix-$(dpkg-query -W -f='${Version}' wine64)-$(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null || true)

# Wine's HID bus on hidraw: where libSDL2 is installed Wine would start only
# its SDL bus, and no udevd runs in the guest to ask. A crash is reported
# on stderr, not in a dialog that waits for a click.
make_prefix() {
    local start=$SECONDS key='HKLM\System\CurrentControlSet\Services\winebus'
    rm -rf "$keep"/wine-prefix-*
    mkdir -p "$kept"
    (
        export WINEPREFIX=$kept HOME=$kept
        "$wine" wineboot -i >/dev/null 2>&1 &&
            "$wine" reg add "$key" /v "Enable SDL" /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
            "$wine" reg add "$key" /v DisableUdevd /t REG_DWORD /d 1 /f >/dev/null 2>&1 &&
            "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
            "$wineserver" -w
    ) && touch "$kept/made" || echo "FAIL: Wine could not set up its prefix"
    echo "Wine prefix made in $((SECONDS - start)) s"
}

if [ "$1" = prefix ]; then
    if [ -e "$kept/made" ]; then echo "Wine prefix kept"; else make_prefix; fi
    exit 0
fi
relayplay=$tests/relayplay xclose=$tests/xclose
[ -e "$kept/made" ] || make_prefix
work=/tmp/wine
mkdir -p "$work/upper" "$work/over" "$work/prefix"
: >"$work/relays"
mount -t overlay overlay -o "lowerdir=$kept,upperdir=$work/upper,workdir=$work/over" "$work/prefix" ||
    echo "FAIL: no overlay on the prefix"
export WINEPREFIX=$work/prefix HOME=$work
# The program beside our IO.DLL, as the zip has them (and off 9p, whose
# pages Wine can't always map as a program's).
cp "$build/Ventrolik.exe" "$build/IO.DLL" "$build/tests/clickpoints.exe" "$work/"

declare -A players
# A relay board: board NAME ID [fail]. Each report it takes is a line in
# $work/relays. Wine passes on only the boards there before its first
# command.
boards() { ls /dev/hidraw* 2>/dev/null | wc -l; }
more_boards() { [ "$(boards)" -gt "$1" ]; }
board() {
    local before
    before=$(boards)
    "$relayplay" hid "$@" >>"$work/relays" &
    players[$2]=$!
    eventually 5 more_boards "$before" || echo "board $2 did not come"
}
unplug() {
    kill "${players[$1]}"
    wait "${players[$1]}" 2>/dev/null
    unset "players[$1]"
}
# The reports the boards took since the last look, as $news.
seen=0
look() {
    sleep 0.5
    news=$(tail -n +$((seen + 1)) "$work/relays" | paste -sd, -)
    seen=$(wc -l <"$work/relays")
}
# Runs the program once with its arguments: what it printed, each line
# headed by "| ", then how it ended and what the boards took.
row() {
    local name=$1 status=0
    shift
    "$wine" "$work/Ventrolik.exe" "$@" >"$work/out" 2>&1 || status=$?
    tr -d '\r' <"$work/out" | sed "s/^/| /"
    look
    echo "$name: exit $status; boards: $news"
}

running() { kill -0 "$app" 2>/dev/null; }
stopped() { ! running; }

# The boards unplugged, and Wine ended.
finish() {
    local id
    for id in "${!players[@]}"; do unplug "$id"; done
    "$wineserver" -k
    "$wineserver" -w
}
