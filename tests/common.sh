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
# [wine|wine32], as $ventrolik, $recording and $runner ("wine" for either
# Windows build), and the program's file name as $program. With "wine32",
# the program is the 32-bit build, for 32-bit Wine.
program_arguments() {
    ventrolik=$1 recording=$2 runner=${3:-}
    if [ "$runner" = wine32 ]; then
        need_32bit
        runner=wine
    fi
    program=$(basename "$ventrolik")
}
