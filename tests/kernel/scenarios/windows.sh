# A Windows build under Wine, whose own hid.dll, setupapi.dll and
# winebus.sys reach relay boards played through the kernel's uhid by way of
# hidraw: a boot for each build, the program beside our IO.DLL as in the zip.
#: builds i686 x86_64
#: ports none
if [ -z "${BASH_VERSION:-}" ]; then
    # In the guest's init: on to the host's root, where Wine is, in bash and
    # an X server of its own.
    host && hid_modules
    $on_host HOME=/tmp "$tests/../tools/xvfb" bash "$tests/kernel/scenarios/windows.sh" "$work" \
        "$(dirname "$program")/tests" "$windows"
    return
fi
source "$(dirname "$0")/../wine.sh" "$@"

board "www.dcttech.com USBRelay2" ABCDE
board "www.dcttech.com USBRelay2" FGHIJ
board "USBRelay1" KLMNO fail
look
# One Wine session for all that follows, so that it sees these boards.
"$wineserver" -p
runner=$wine load_clickpoints "$work/clickpoints.exe"

row "three boards" on
#= ^\| IO\.DLL: no parallel port at 0x378, and more than one relay board: .*'KLMNO'.*'FGHIJ'.*'ABCDE'
#= ^\| IO\.DLL ne postoji u \\windows\\system folderu$
#= ^three boards: exit 1; boards: $
VENTROLIK_LPT1=FGHIJ row "chosen" on
#= ^\| IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'FGHIJ'
#= ^chosen: exit 0; boards: FGHIJ relays 10,FGHIJ relays 10$
VENTROLIK_LPT1=KLMNO row "refused" on
#= ^\| IO\.DLL: cannot write 0x1 to port 0x378: cannot switch relay 1 of
#! cannot
#= ^refused: exit 0; boards: KLMNO refused relay 1$
unplug FGHIJ
unplug KLMNO
row "one board" on
#= ^one board: exit 0; boards: ABCDE relays 10,ABCDE relays 10$
row "one board" off
#= ^one board: exit 0; boards: ABCDE relays 00,ABCDE relays 00$

# The program in its window, as a user starts it: no warning
"$wine" "$work/Ventrolik.exe" 2>"$work/stderr" &
app=$!
# Bounds only to end a run that hangs: a 32-bit Wine starts slowly on an
# emulated CPU that shares the machine.
main=$(eventually 240 visible Ventrolik) || echo "window: none"
visible Project1 >/dev/null && echo "window: a warning"
#! window: (none|a warning)
click_button "$main" Command1 # Ukljuci
look
echo "window Ukljuci: boards: $news"
#= ^window Ukljuci: boards: ABCDE relays 10,ABCDE relays 10$
click_button "$main" Command2 # Iskljuci
look
echo "window Iskljuci: boards: $news"
#= ^window Iskljuci: boards: ABCDE relays 00,ABCDE relays 00$

# The board unplugged: the next write fails and says so, the program stays up
unplug ABCDE
sleep 1
click_button "$main" Command1
sleep 2
running && visible Ventrolik >/dev/null && echo "window: up after the board went"
#= ^window: up after the board went$
"$xclose" "$main"
eventually 30 stopped || echo "window: still running after its close box"
kill "$app" 2>/dev/null
status=0
wait "$app" || status=$?
tr -d '\r' <"$work/stderr" | sed "s/^/| /"
echo "window closed: exit $status"
#= ^\| IO\.DLL: cannot write 0x1 to port 0x378
#= ^window closed: exit 0$
finish
