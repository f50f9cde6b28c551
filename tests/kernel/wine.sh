#!/usr/bin/env bash
# The Windows builds under Wine on a real HID stack. It runs in the kernel
# test's guest, on the host's root, where Wine's own hid.dll, setupapi.dll
# and winebus.sys reach relay boards played through the kernel's uhid. It
# prints what it saw, each line headed by the build; run.py says what must
# be seen.
#
#   tools/xvfb wine.sh KEEP RELAYPLAY XCLOSE BUILD-FOLDER...
#   wine.sh prefix KEEP
#
# Each build folder holds Ventrolik.exe, our IO.DLL, and the tests'
# clickpoints helper, which says where the window's buttons are. The Wine prefix is
# kept in the folder KEEP, made once and seen through an overlay after
# that. The second form makes it on the host, which is quicker than in the
# guest, where the host's kernel runs 32-bit programs.
set -uo pipefail

source "$(dirname "$0")/../common.sh"
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver64
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

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
    keep=$2
    kept=$keep/wine-prefix-$(dpkg-query -W -f='${Version}' wine64)
    if [ -e "$kept/made" ]; then echo "Wine prefix kept"; else make_prefix; fi
    exit 0
fi
keep=$1 relayplay=$2 xclose=$3
shift 3
kept=$keep/wine-prefix-$(dpkg-query -W -f='${Version}' wine64)
[ -e "$kept/made" ] || make_prefix
work=/tmp/wine
mkdir -p "$work/upper" "$work/over" "$work/prefix"
: >"$work/relays"
mount -t overlay overlay -o "lowerdir=$kept,upperdir=$work/upper,workdir=$work/over" "$work/prefix" ||
    echo "FAIL: no overlay on the prefix"
export WINEPREFIX=$work/prefix HOME=$work

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
# Runs the program once with its arguments: what it printed, then how it
# ended and what the boards took.
row() {
    local name=$1 status=0
    shift
    "$wine" "$work/$arch/Ventrolik.exe" "$@" >"$work/out" 2>&1 || status=$?
    tr -d '\r' <"$work/out" | sed "s/^/$arch | /"
    look
    echo "$arch $name: exit $status; boards: $news"
}

running() { kill -0 "$app" 2>/dev/null; }
stopped() { ! running; }

for build in "$@"; do
    begun=$SECONDS
    arch=$(basename "$build")
    arch=${arch#mingw-}
    # The program beside our IO.DLL, as the zip has them (and off 9p, whose
    # pages Wine can't always map as a program's).
    mkdir -p "$work/$arch"
    cp "$build/Ventrolik.exe" "$build/IO.DLL" "$build/tests/clickpoints.exe" "$work/$arch/"
    board "www.dcttech.com USBRelay2" ABCDE
    board "www.dcttech.com USBRelay2" FGHIJ
    board "USBRelay1" KLMNO fail
    look
    # One Wine session for all that follows, so that it sees these boards.
    "$wineserver" -p
    runner=$wine load_clickpoints "$work/$arch/clickpoints.exe"

    row "three boards" on
    VENTROLIK_LPT1=FGHIJ row "chosen" on
    VENTROLIK_LPT1=KLMNO row "refused" on
    unplug FGHIJ
    unplug KLMNO
    row "one board" on
    row "one board" off

    # The program in its window, as a user starts it.
    "$wine" "$work/$arch/Ventrolik.exe" 2>"$work/stderr" &
    app=$!
    if main=$(eventually 60 visible Ventrolik); then
        visible Project1 >/dev/null && echo "$arch window: a warning"
        click_button "$main" Command1 # Ukljuci
        look
        echo "$arch window Ukljuci: boards: $news"
        click_button "$main" Command2 # Iskljuci
        look
        echo "$arch window Iskljuci: boards: $news"
        unplug ABCDE
        sleep 1
        click_button "$main" Command1
        sleep 2
        running && visible Ventrolik >/dev/null && echo "$arch window: up after the board went"
        "$xclose" "$main"
        eventually 30 stopped || echo "$arch window: still running after its close box"
    else
        echo "$arch window: none"
    fi
    kill "$app" 2>/dev/null
    status=0
    wait "$app" || status=$?
    tr -d '\r' <"$work/stderr" | sed "s/^/$arch | /"
    echo "$arch window closed: exit $status ($((SECONDS - begun)) s for $arch)"
    for id in "${!players[@]}"; do unplug "$id"; done
    "$wineserver" -k
    "$wineserver" -w
done
