#!/usr/bin/env bash
# What tools/package made, checked as the platforms' own tools check it and
# tried as a user would: the two .debs installed on this machine, the
# window started from PATH in an X server, and purged again; the headless
# one alone, as on a machine without a desktop; the Windows zip; the
# installer run and uninstalled under Wine.
#
#   tools/xvfb packages.sh PACKAGE-FOLDER
set -euo pipefail

out=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
version=$("$here/../tools/version")
revision=$(dpkg-parsechangelog -l "$here/../debian/changelog" -S Version)
deb=$out/ventrolik_${revision}_amd64.deb
headless=$out/ventrolik-headless_${revision}_amd64.deb
[ -f "$deb" ] || { echo "SKIP: no $deb: run tools/package first"; exit 77; }
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing the package needs root"; exit 77; }
# A Ventrolik the machine had before, or its settings, are the user's: the
# test installs and purges only where there is none.
for package in ventrolik ventrolik-headless; do
    case $(dpkg-query -W -f='${db:Status-Status}' $package 2>/dev/null) in
    installed | config-files | half-*) echo "SKIP: $package is installed here already, and the test would purge it with its settings (test in a fresh root, as CI does)"; exit 77 ;;
    esac
done

work=$(mktemp -d)
app_pid=
purge() { apt-get purge -y -q ventrolik ventrolik-headless >/dev/null 2>&1; }
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    dpkg-query -W ventrolik-headless >/dev/null 2>&1 && purge
    rm -rf "$work"
}
trap cleanup EXIT
# The documents that name the version say the one CMake has.
[ "${revision%-*}" = "$version" ] || fail "debian/changelog is not at $version"
for document in linux/org.kestrova.Ventrolik.metainfo.xml linux/ventrolik.1 windows/README.txt; do
    grep -q "Ventrolik $version\|release version=\"$version\"" "$here/../resources/$document" || fail "$document does not say $version"
done
ok() { echo "ok: $*"; }

# --- The Debian package, as Debian's tools see it. ---
lintian --fail-on error,warning "$out"/ventrolik_${revision}_amd64.changes || fail "lintian"
arm64=$out/ventrolik_${revision}_arm64.changes
[ ! -f "$arm64" ] || lintian --fail-on error,warning "$arm64" || fail "lintian, arm64"
dpkg-deb -x "$deb" "$work/deb"
dpkg-deb -x "$headless" "$work/deb"
desktop-file-validate "$work/deb/usr/share/applications/org.kestrova.Ventrolik.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$work/deb/usr/share/metainfo/org.kestrova.Ventrolik.metainfo.xml" >/dev/null ||
    fail "AppStream metainfo"
for binary in "$work"/deb/usr/lib/*/ventrolik/{ventrolik,ventrolik-window,ventrolik-trial,IO.DLL}; do
    file -L "$binary" | grep ", stripped" >/dev/null || fail "$binary is not stripped"
done
# The commands and the thermostat load no GUI toolkit; the window, none of
# the thermostat's libraries.
private=$(echo "$work"/deb/usr/lib/*/ventrolik)
! ldd "$private/ventrolik" | grep -E 'libQt|libX11|libxcb|libGL|libEGL|libfontconfig' ||
    fail "the program of the commands loads a GUI library"
! ldd "$private/ventrolik-window" | grep -E 'libmosquitto|libsensors|libssl|libcrypto' ||
    fail "the window's program loads the thermostat's libraries"
grep -qx "Exec=/usr/lib/.*/ventrolik/ventrolik-window" "$work/deb/usr/share/applications/org.kestrova.Ventrolik.desktop" ||
    fail "the desktop entry does not start the window's program"
dpkg-deb -c "$out"/ventrolik-headless-dbgsym_${revision}_amd64.deb | grep '/usr/lib/debug/.build-id/.*\.debug$' >/dev/null ||
    fail "no debug symbols in the -dbgsym package"
ok "lintian, desktop-file-validate, appstreamcli, stripped binaries with their symbols apart, each program's libraries"

# The thermostat's services ask for as little as they need: the one on a
# broker has the network besides.
for limit in ventrolik-thermostat.service:0.6 ventrolik-thermostat-broker.service:1.5; do
    unit=$(find "$work/deb" -path "*/systemd/system/${limit%:*}")
    exposure=$({ systemd-analyze security --offline=yes "$unit" 2>&1 || true; } |
        sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
    [ -n "$exposure" ] || fail "systemd-analyze gave no exposure for ${limit%:*}"
    awk -v e="$exposure" -v l="${limit#*:}" 'BEGIN { exit !(e <= l) }' ||
        fail "${limit%:*} is exposed at $exposure, above ${limit#*:}"
    ok "${limit%:*}: exposure $exposure"
done

# --- The headless package alone, as on a machine without a desktop. ---
# What apt fetches for it on a minimal Debian (the release's required
# packages and apt), beyond what that has: no GUI toolkit, X11, GL or font,
# and at most 10 MB, the package included.
: >"$work/status" && mkdir -p "$work/archives/partial"
fetched() {
    apt-get install --print-uris -qq -y -o Dir::State::status="$work/status" -o Dir::Cache::archives="$work/archives" "$@" |
        sed -n "s/^'[^']*' \([^ ]*\) \([0-9]*\) .*/\1 \2/p" | sort
}
# Only this machine's own architecture: a minimal Debian has no other, and
# apt may have no lists for one dpkg knows (i386, for Wine).
mapfile -t minimal < <(dpkg-query -W -f='${Package} ${Architecture} ${Priority} ${Essential}\n' |
    awk -v native="$(dpkg --print-architecture)" '($2 == native || $2 == "all") && ($3 == "required" || $4 == "yes") { print $1 }')
fetched "${minimal[@]}" apt >"$work/minimal"
fetched "${minimal[@]}" apt "$headless" | comm -13 "$work/minimal" - >"$work/brings"
grep -q '^ventrolik-headless_' "$work/brings" || fail "apt would not install the headless package on a minimal Debian"
! grep -E '^(libqt|qt6|libx11|libxcb|libgl|libegl|mesa|libfontconfig|libfreetype|fonts-)' "$work/brings" ||
    fail "the headless package brings a GUI package"
size=$(awk '{ s += $2 } END { print s }' "$work/brings")
[ "$size" -le $((10 * 1024 * 1024)) ] || fail "the headless package downloads $size bytes on a minimal Debian"
apt-get install -y -q "$headless" >"$work/apt" 2>&1 || { cat "$work/apt"; fail "apt-get install, headless"; }
[ "$(ventrolik --version)" = "Ventrolik $version" ] || fail "ventrolik --version, headless"
status=0
ventrolik >/dev/null 2>"$work/stderr" || status=$?
[ "$status" = 2 ] && grep -q "comes with the package 'ventrolik'" "$work/stderr" || fail "ventrolik, headless: status $status"
ok "headless: $(wc -l <"$work/brings") packages, $((size / 1024)) KB on a minimal Debian, none for a desktop; no window, and says which package brings it"

# --- Both installed, the window started from PATH, purged. ---
apt-get install -y -q "$deb" >"$work/apt" 2>&1 || { cat "$work/apt"; fail "apt-get install"; }
[ "$(command -v ventrolik)" = /usr/bin/ventrolik ] || fail "ventrolik is not on PATH"
# The thermostat waits for its settings: installed, not enabled, not running.
grep -q '^#SENSOR=' /etc/default/ventrolik-thermostat || fail "no commented-out settings for the thermostat"
[ -z "$(find /etc/systemd/system -name 'ventrolik-thermostat.service')" ] || fail "the thermostat's service is enabled"
[ "$(stat -c %a /etc/ventrolik/broker)" = 700 ] || fail "/etc/ventrolik/broker is $(stat -c %a /etc/ventrolik/broker), not root's alone"
# Stopped at removal, restarted after an upgrade, and never started unless
# enabled: debhelper's scripts for the unit, found where this release's
# dh_installsystemd looks.
dpkg-deb -e "$headless" "$work/control"
for unit in ventrolik-thermostat.service ventrolik-thermostat-broker.service; do
    grep -q "deb-systemd-invoke stop .*'$unit'" "$work/control/prerm" || fail "removal does not stop $unit"
done
ok "thermostat: settings installed, the broker's folder root's alone, service not enabled"

(cd "$work" && env -u LD_LIBRARY_PATH ventrolik 2>"$work/stderr") &
app_pid=$!
if ls /dev/parport* >/dev/null 2>&1; then
    eventually 20 visible Ventrolik >/dev/null || fail "no main window"
else
    # No port here: the packaged IO.DLL says why, and the warning comes.
    eventually 20 visible Project1 >/dev/null || fail "no start-up warning"
    grep -q "^IO.DLL: " "$work/stderr" || fail "the packaged IO.DLL said nothing"
fi
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=
ok "installed, started from PATH with the packaged IO.DLL"

installed=$(dpkg-query -L ventrolik ventrolik-headless)
purge || fail "apt-get purge"
while read -r path; do
    # Folders that other packages share, such as /usr/share/icons, stay, and
    # so does /lib, a link to /usr/lib on a merged system.
    [ -d "$path" ] && [[ $path != *ventrolik* ]] && continue
    if [ -e "$path" ] || [ -L "$path" ]; then fail "left behind after purge: $path"; fi
done <<<"$installed"
ok "purged, nothing left behind"

# --- Windows: the zip. ---
unzip -q "$out/Ventrolik-$version-win32.zip" -d "$work/zip"
[ "$(cd "$work/zip" && ls | paste -sd' ')" = "IO.DLL LICENSE.txt README.txt Ventrolik.exe" ] || fail "the zip holds $(ls "$work/zip")"
for text in README.txt LICENSE.txt; do
    [ "$(grep -c $'\r$' "$work/zip/$text")" = "$(wc -l <"$work/zip/$text")" ] || fail "$text has lines without CRLF"
done
i686-w64-mingw32-objdump -h "$work/zip/Ventrolik.exe" | grep '\.debug' >/dev/null && fail "Ventrolik.exe is not stripped"
python3 "$here/check_pe.py" "$work/zip/Ventrolik.exe" i686 "$version" >/dev/null || fail "the zip's Ventrolik.exe"
python3 "$here/check_pe.py" "$work/zip/IO.DLL" i686 >/dev/null || fail "the zip's IO.DLL"
# The download stays small: what the C++ runtime adds is kept to what is used.
for limit in Ventrolik.exe:150 IO.DLL:100; do
    size=$(stat -c %s "$work/zip/${limit%:*}")
    [ "$size" -le $((${limit#*:} * 1024)) ] || fail "${limit%:*} is $size bytes, over ${limit#*:} KB"
done
ok "zip: the stripped 32-bit program (at most 150 KB) and IO.DLL (100 KB), README.txt and LICENSE.txt with CRLF line ends"

# --- Windows: the installer under Wine, silently, then its uninstaller. ---
# The installer is a 32-bit program: where it can't run, the test says what
# did run before it is reported skipped.
if ! reason=$(runs_32bit_windows); then
    echo "SKIP: the installer under Wine: $reason (the .deb, the service and the zip passed above)"
    exit 77
fi
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
wineboot -i >/dev/null 2>&1 || fail "Wine could not set up its prefix"
c=$WINEPREFIX/drive_c
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ventrolik'
wine "$out/Ventrolik-$version-setup.exe" /S && wineserver -w
folder=$(find "$c" -path '*/Program Files*/Ventrolik' -type d)
[ -n "$folder" ] || fail "nothing installed under Program Files"
[ "$(cd "$folder" && ls | paste -sd' ')" = "IO.DLL LICENSE.txt README.txt Uninstall.exe Ventrolik.exe" ] ||
    fail "installed: $(ls "$folder")"
[ -f "$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ventrolik.lnk" ] || fail "no Start-menu shortcut"
wine reg query "$key" /reg:32 | grep 'UninstallString' >/dev/null || fail "no entry under Add or remove programs"
wine "$folder/Uninstall.exe" /S && wineserver -w
eventually 10 test ! -e "$folder" || fail "left behind after uninstall: $(find "$folder")"
[ -z "$(find "$c" -iname '*ventrolik*')" ] || fail "left behind: $(find "$c" -iname '*ventrolik*')"
wine reg query "$key" /reg:32 >/dev/null 2>&1 && fail "the uninstall entry stayed"
ok "installer: installed, shortcut and uninstall entry made; uninstalled without a trace"

# Another port library in the system folder stays in charge, and stays.
system=$c/windows/syswow64
[ -d "$system" ] || system=$c/windows/system32
echo "another port library" >"$system/IO.DLL"
wine "$out/Ventrolik-$version-setup.exe" /S && wineserver -w
folder=$(find "$c" -path '*/Program Files*/Ventrolik' -type d)
[ -n "$folder" ] && [ ! -e "$folder/IO.DLL" ] || fail "our IO.DLL installed beside a system one"
wine "$folder/Uninstall.exe" /S && wineserver -w
eventually 10 test ! -e "$folder" || fail "left behind after uninstall: $(find "$folder")"
[ "$(cat "$system/IO.DLL")" = "another port library" ] || fail "the system's IO.DLL was touched"
ok "installer: a port library in the system folder is left in charge"
