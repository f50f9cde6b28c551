#!/usr/bin/env bash
# The built program in a real X server, driven with xdotool as a user would
# drive it, against the recording IO.DLL. With "wine", the program is the
# Windows build and runs under Wine. It clicks where the tests' clickpoints
# helper, beside the recording IO.DLL, says the program puts its buttons.
#
#   tools/xvfb e2e.sh PROGRAM RECORDING-IO.DLL [wine|wine32]
set -euo pipefail

source "$(dirname "$0")/common.sh"
program_arguments "$@"
work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$runner" ] && wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Closing a window as a window manager's close box does.
cc -o "$work/xclose" "$(dirname "$0")/xclose.c" -lX11
xclose=$work/xclose

record_calls
load_clickpoints "$(dirname "$recording")/clickpoints${runner:+.exe}"
start() { ${runner:+"$runner"} "$@"; }

hidden() { ! visible "$1" >/dev/null; }
# Waits for the window titled $1 and prints its id.
window() { eventually 30 visible "$1"; }

# Presses a key in the window $1. The toolkit needs a moment after the
# focus arrives before it takes keys for the new window.
press() {
    xdotool windowfocus --sync "$1"
    sleep 0.3
    xdotool key --clearmodifiers "$2"
}

# Clicks a new window's bottom-right corner, where it has no control, so
# that it becomes the active window (Wine without a window manager gives a
# window keys only then).
activate() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --window "$1" $((WIDTH - 2)) $((HEIGHT - 2)) click 1
}

# Waits for the program to end and checks its exit status against $1
# ("zero", "non-zero", or "error": 1 to 127, an error and not a signal),
# saying "$2: " before a failure.
ended() {
    local status=0
    eventually 20 stopped || fail "${2:+$2: }the program did not end"
    wait "$app_pid" || status=$?
    app_pid=
    case $1 in
    zero) [ "$status" -eq 0 ] || fail "${2:+$2: }exit status $status, expected 0" ;;
    non-zero) [ "$status" -ne 0 ] || fail "${2:+$2: }exit status 0, expected an error" ;;
    error) [ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "${2:+$2: }exit status $status, expected 1 to 127" ;;
    esac
}

stopped() { ! kill -0 "$app_pid" 2>/dev/null; }

calls() { cat "$work/calls" 2>/dev/null | paste -sd, || true; }
calls_are() { [ "$(calls)" = "$1" ]; }
expect_calls() { eventually 5 calls_are "$1" || fail "IO.DLL saw '$(calls)', expected '$1'"; }

# --- The driver is missing: the warning first, then a working window. ---
mkdir "$work/app"
cp "$ventrolik" "$work/app/$program"
cp "$recording" "$work/app/IO.DLL"
export IO_DRIVER_ANSWER=0
start "$work/app/$program" 2>"$work/stderr" &
app_pid=$!

box=$(window Project1) || fail "no warning box"
hidden Ventrolik || fail "the main window came before the warning"
activate "$box"
press "$box" Return
main=$(window Ventrolik) || fail "no main window after the warning"
expect_calls "IsDriverInstalled"

click_button "$main" Command1 # Ukljuci
click_button "$main" Command2 # Iskljuci
click_button "$main" Command1
expect_calls "IsDriverInstalled,PortWordOut 888 1,PortOut 888 0,PortWordOut 888 1"

# Akcija > Iskljuci, then Akcija > Ukljuci, by mouse and keyboard.
open_menu "$main"
sleep 0.3
press "$main" Down && press "$main" Down && press "$main" Return
expect_calls "IsDriverInstalled,PortWordOut 888 1,PortOut 888 0,PortWordOut 888 1,PortOut 888 0"
open_menu "$main"
sleep 0.3
press "$main" Down && press "$main" Return
expect_calls "IsDriverInstalled,PortWordOut 888 1,PortOut 888 0,PortWordOut 888 1,PortOut 888 0,PortWordOut 888 1"

# O Autoru, the menu bar's next entry, opens the About window; Esc closes it
# and the program goes on. (Esc leaves the open menu for its entry in the
# bar, from where the keys go along the bar.)
about_menu() {
    open_menu "$main"
    sleep 0.3
    press "$main" Escape && press "$main" Right && press "$main" Return
}
about_menu
about=$(window "O Autoru") || fail "no About window"
activate "$about"
press "$about" Escape
eventually 5 hidden "O Autoru" || fail "Esc left the About window open"
stopped && fail "closing the About window ended the program"

# Closing the main window while the About window is open ends the program.
about_menu
window "O Autoru" >/dev/null || fail "the About window did not open again"
"$xclose" "$main"
ended zero
echo "ok: warning, switching from buttons and menu, About, close"

# --- The driver is there: no warning. And the trial's helper never ends
# (Linux): it is stopped, and the library loaded as it is. ---
rm -f "$work/calls"
if [ -z "$runner" ]; then
    printf '#!/bin/sh\necho $$ >"%s"\nexec sleep 3601\n' "$work/trial.pid" >"$work/app/ventrolik-trial"
    chmod +x "$work/app/ventrolik-trial"
fi
IO_DRIVER_ANSWER=1 start "$work/app/$program" 2>"$work/stderr" &
app_pid=$!
main=$(window Ventrolik) || fail "no main window"
hidden Project1 || fail "a warning with the driver installed"
expect_calls "IsDriverInstalled"
[ -z "$runner" ] && kill -0 "$(cat "$work/trial.pid")" 2>/dev/null && fail "the trial that never ended was left running"
"$xclose" "$main"
ended zero
rm -f "$work/app/ventrolik-trial"
echo "ok: no warning with the driver installed; a trial that never ends stopped"

# --- No IO.DLL beside the program; one planted in the current directory
# must not be loaded. The runtime reports the error and ends. ---
mkdir "$work/alone" "$work/cwd"
cp "$ventrolik" "$work/alone/$program"
cp "$recording" "$work/cwd/IO.DLL"
rm -f "$work/calls"
(cd "$work/cwd" && start "$work/alone/$program") 2>"$work/stderr" &
app_pid=$!
box=$(window Project1) || fail "no error box"
activate "$box"
press "$box" Return
ended non-zero
grep -q "cannot load 'IO.DLL'" "$work/stderr" || fail "the error does not name IO.DLL"
[ -e "$work/calls" ] && fail "the IO.DLL in the current directory was loaded"
hidden Ventrolik || fail "the main window was shown"
echo "ok: missing IO.DLL reported, the planted one ignored"

# --- A damaged IO.DLL beside the program: one report that names the file
# and what is wrong with it, then an ordinary non-zero exit, never a crash. ---
# The library as built for another machine: its machine field rewritten.
foreign() {
    cp "$recording" "$1"
    if [ -n "$runner" ]; then
        local pe machine='\x64\x86'
        pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
        [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')" = 8664 ] && machine='\x4c\x01'
        printf "$machine" | dd of="$1" bs=1 seek=$((pe + 4)) conv=notrunc status=none
    else
        printf '\x03\x00' | dd of="$1" bs=1 seek=18 conv=notrunc status=none # EM_386
    fi
}
# A header that puts its table past the end of any file: on Linux the
# program headers' offset, on Windows the PE header's.
far_table() {
    cp "$recording" "$1"
    if [ -n "$runner" ]; then
        printf '\xf0\xff\xff\x7f' | dd of="$1" bs=1 seek=60 conv=notrunc status=none
    else
        printf '\xf0\xff\xff\xff\xff\xff\xff\xff' | dd of="$1" bs=1 seek=32 conv=notrunc status=none
    fi
}
# The library with its code zeroed, whole and well formed outside: its
# start-up code kills the loader. (Linux only: the row is left out for
# Windows.)
zeroed_code() {
    [ -z "$runner" ] || return 1
    local offset size
    cp "$recording" "$1"
    read -r offset size < <(readelf -SW "$1" | awk '$2 == ".text" { print $5, $6 }')
    dd if=/dev/zero of="$1" bs=1 seek=$((16#$offset)) count=$((16#$size)) conv=notrunc status=none
}
# The library's dynamic table says its PLT relocations are of the other
# kind: the loader stops on an assertion of its own, which it prints.
wrong_pltrel() {
    [ -z "$runner" ] || return 1
    local offset size entry
    cp "$recording" "$1"
    read -r offset size < <(readelf -SW "$1" | awk '$2 == ".dynamic" { print $5, $6 }')
    # 16-byte entries, tag then value: DT_PLTREL (20) set to DT_REL (17)
    entry=$(od -An -v -td8 -w16 -j$((16#$offset)) -N$((16#$size)) "$1" | awk '$1 == 20 { print NR - 1; exit }')
    printf '\x11' | dd of="$1" bs=1 seek=$((16#$offset + entry * 16 + 8)) conv=notrunc status=none
}
size=$(stat -c %s "$recording")
# case | how to damage it | what the report says on Linux
damaged=
while IFS='|' read -r name damage reason; do
    name=${name%% *} reason=${reason# }
    rm -rf "$work/damaged" && mkdir "$work/damaged" && cp "$ventrolik" "$work/damaged/$program"
    # with the helper that loads it first, as installed (Linux)
    helper=$(dirname "$ventrolik")/ventrolik-trial
    [ ! -f "$helper" ] || cp "$helper" "$work/damaged/"
    library=$work/damaged/IO.DLL
    eval "$damage" || continue
    damaged+=" $name"
    start "$work/damaged/$program" 2>"$work/stderr" &
    app_pid=$!
    box=$(window Project1) || fail "$name: no error box"
    activate "$box"
    press "$box" Return
    ended error "$name"
    [ "$(grep -c "cannot load 'IO.DLL'" "$work/stderr")" = 1 ] || fail "$name: not one report naming IO.DLL"
    grep -q "%1" "$work/stderr" && fail "$name: the report has a blank for the file's name"
    grep -v "cannot load 'IO.DLL'" "$work/stderr" | grep -q 'ld\.so' && fail "$name: the loader spoke besides the report"
    [ -n "$runner" ] || grep -q "$library: $reason" "$work/stderr" || fail "$name: the report does not say '$reason'"
done <<CASES
empty      | : >"\$library"                                    | empty file
truncated  | head -c $((size / 2)) "\$recording" >"\$library"  | file is truncated: segment ends at byte
text       | echo "IO.DLL" >"\$library"                       | not a shared library
foreign    | foreign "\$library"                               | built for 32-bit x86
zeroed     | zeroed_code "\$library"                           | damaged: the system's loader died loading it (Segmentation fault)
no-helper  | zeroed_code "\$library"; rm -f "$work/damaged/ventrolik-trial" | damaged: the system's loader died loading it (Segmentation fault)
pltrel     | wrong_pltrel "\$library"                          | damaged: loading it ended the process with status 127: Inconsistency detected by ld\.so
far-table  | far_table "\$library"                             | file is truncated: the program header table ends beyond byte 18446744073709551615 of
directory  | mkdir "\$library"                                 | is a directory
CASES
echo "ok: a damaged IO.DLL reported, each of$damaged"
