# The package as users meet it: the host's Debian booted with systemd as
# PID 1 and udev, the built .deb installed with apt-get, and the thermostat
# run by systemctl on the kernel's lm75 driver, switching the parallel port
# at 0x378 through ppdev.
#: needs build/package/ventrolik_*_amd64.deb
if [ -z "${BASH_VERSION:-}" ]; then
    boot_systemd "$tests/kernel/scenarios/package.sh"
    echo "systemd: the boot failed"
    return
fi
set -u
export DEBIAN_FRONTEND=noninteractive
ioprobe=$(dirname "$VENTROLIK_PROGRAM")/tests/ioprobe
data() { echo "$1: $("$ioprobe" read /dev/parport0)"; }
journal() { journalctl -q -u ventrolik-thermostat -o cat; }
# Waits until the thermostat's journal has a line matching $1 (and at
# least $2 of them), or gives up after a minute: then the row fails.
said() {
    local count
    for count in $(seq 600); do
        [ "$(journal | grep -c -- "$1")" -ge "${2:-1}" ] && return
        sleep 0.1
    done
}
echo "systemd: $(systemctl is-system-running --wait)"
#= ^systemd: (running|degraded)$

# Installed: the unit is there, neither enabled nor running.
echo "man-db man-db/auto-update boolean false" | debconf-set-selections
if apt-get install -y -q "$(ls "$VENTROLIK_TESTS"/../build/package/ventrolik_*_amd64.deb)" >/tmp/apt 2>&1; then
    echo "installed"
else
    sed 's/^/apt: /' /tmp/apt
fi
echo "unit: $(systemctl is-enabled ventrolik-thermostat) $(systemctl is-active ventrolik-thermostat)"
#= ^installed$
#= ^unit: disabled inactive$

# The port's drivers from the package's list; an lm75 on i2c-stub, on the
# bus of that name (a full boot's i2c_piix4 takes bus 0).
systemctl restart systemd-modules-load
modprobe i2c-stub chip_addr=0x48 && modprobe i2c-dev
bus=$(grep -l "SMBus stub driver" /sys/bus/i2c/devices/i2c-*/name | sed 's|.*/i2c-\([0-9]*\)/name|\1|')
temperature() { busybox i2cset -f -y "$bus" 0x48 0x00 "$(printf '0x00%02x' "$1")" w; }
temperature 30
echo lm75 0x48 >"/sys/bus/i2c/devices/i2c-$bus/new_device"
sensor=lm75-i2c-$bus-48/temp1
ls -l /dev/parport0
#= ^crw-rw---- .* root +lp .* /dev/parport0$

# Set, enabled and started as the README says: off, on, off.
printf 'SENSOR=%s\nON=50\nOFF=40\nEVERY=1\nMIN_RUN=0\n' "$sensor" >>/etc/default/ventrolik-thermostat
systemctl enable --now ventrolik-thermostat 2>/dev/null
said "^thermostat: $sensor"
sleep 2
data "at 30 °C"
#= ^at 30 °C: /dev/parport0 data 0x00$
temperature 55
said "^fan on: $sensor at 55.0 °C"
data "at 55 °C"
#= ^at 55 °C: /dev/parport0 data 0x01$
temperature 35
said "^fan off: $sensor at 35.0 °C"
data "at 35 °C"
#= ^at 35 °C: /dev/parport0 data 0x00$
journal | grep "^fan"
#= ^fan on: lm75-i2c-[0-9]+-48/temp1 at 55\.0 °C \(on at 50\.0\)$
#= ^fan off: lm75-i2c-[0-9]+-48/temp1 at 35\.0 °C \(off at 40\.0\)$

# Stopped: the fan on.
systemctl stop ventrolik-thermostat
data "stopped"
#= ^stopped: /dev/parport0 data 0x01$

# Killed: started again, and in charge again.
systemctl start ventrolik-thermostat
said "^thermostat: $sensor" 2
systemctl kill -s KILL ventrolik-thermostat
said "^thermostat: $sensor" 3
temperature 55
said "^fan on: $sensor at 55.0 °C" 2
echo "killed: restarted $(systemctl show -P NRestarts ventrolik-thermostat) time(s), $(systemctl is-active ventrolik-thermostat)"
data "after the restart"
#= ^killed: restarted 1 time\(s\), active$
#= ^after the restart: /dev/parport0 data 0x01$

# No sensor set: status 2, and no restart loop.
sed -i 's/^SENSOR=.*/SENSOR=/' /etc/default/ventrolik-thermostat
systemctl restart ventrolik-thermostat
sleep 12 # past RestartSec=10
echo "no sensor: status $(systemctl show -P ExecMainStatus ventrolik-thermostat), $(systemctl is-active ventrolik-thermostat), restarted $(systemctl show -P NRestarts ventrolik-thermostat) time(s)"
#= ^no sensor: status 2, (failed|inactive), restarted 0 time\(s\)$

# Removed while running: stopped, with the fan on; purged: nothing left.
sed -i "s|^SENSOR=.*|SENSOR=$sensor|" /etc/default/ventrolik-thermostat
temperature 35
systemctl reset-failed ventrolik-thermostat
systemctl start ventrolik-thermostat
said "^thermostat: $sensor" 4
sleep 2
apt-get remove -y -q ventrolik >/dev/null 2>&1
echo "removed: $(systemctl is-active ventrolik-thermostat)"
data "removed"
#= ^removed: (inactive|failed)$
#= ^removed: /dev/parport0 data 0x01$
apt-get purge -y -q ventrolik >/dev/null 2>&1
systemctl daemon-reload
echo "purged: left: $(find /etc /usr/lib/systemd /lib/systemd /usr/lib/udev /usr/lib/modules-load.d -name '*ventrolik*' | paste -sd' ')"
#= ^purged: left: $
