# The package as users meet it on a machine without a desktop: the host's
# Debian booted with systemd as PID 1 and udev, the built headless .deb
# installed alone with apt-get, and the thermostat
# run by systemctl on the kernel's lm75 driver, switching the parallel port
# at 0x378 through ppdev, then a relay board in a USB port (a gadget on
# dummy_hcd), which Debian's usbrelay, installed here, gives to plugdev; and
# on an MQTT broker, Debian's mosquitto.
#: needs build/package/ventrolik-headless_*_amd64.deb
#: reports 5
if [ -z "${BASH_VERSION:-}" ]; then
    boot_systemd "$tests/kernel/scenarios/package.sh"
    echo "systemd: the boot failed"
    return
fi
set -u
source "$VENTROLIK_TESTS/common.sh"
ioprobe=$(dirname "$VENTROLIK_PROGRAM")/tests/ioprobe
relayplay=$(dirname "$VENTROLIK_PROGRAM")/tests/relayplay
data() { echo "$1: $("$ioprobe" read /dev/parport0)"; }
journal() { journalctl -q -u ventrolik-thermostat -o cat; }
# Waits until the thermostat's journal has a line matching $1 (and at
# least $2 of them), or gives up after a minute: then the row fails.
journal_has() { [ "$(journal | grep -c -- "$1")" -ge "${2:-1}" ]; }
said() { eventually 60 journal_has "$@"; }
# Waits for the thermostat's next start to be in charge.
starts=0
started() {
    starts=$((starts + 1))
    said "^thermostat: $sensor" $starts
}
# What the board was last set to, once it has been told twice more (a
# write is a report for each of its two relays) since now, or since it had
# taken $2 reports; or after a minute.
taken() { [ "$(wc -l </tmp/relays)" -ge "$1" ]; }
relays() {
    eventually 60 taken $((${2:-$(wc -l </tmp/relays)} + 2))
    echo "$1: $(tail -n 1 /tmp/relays)"
}
udc=/sys/kernel/config/usb_gadget/ABCDE/UDC
echo "systemd: $(systemctl is-system-running --wait)"
#= ^systemd: (running|degraded)$

# A board in a USB port before the package is there; the parallel port at
# 0x378, which would go before it, only once the package loads its drivers.
modprobe -r ppdev parport_pc
modprobe dummy_hcd num=2 && modprobe usb_f_fs
"$relayplay" usb "www.dcttech.com USBRelay2" ABCDE >/tmp/relays 2>/dev/null &
eventually 60 test -e /dev/hidraw0
"$relayplay" cp2112 >/tmp/lines 2>/dev/null &
eventually 60 test -e /dev/gpiochip0
udevadm settle

# Installed: the unit is there, neither enabled nor running.
if apt-get install -y -q "$(ls "$VENTROLIK_TESTS"/../build/package/ventrolik-headless_*_amd64.deb)" >/tmp/apt 2>&1; then
    echo "installed"
else
    sed 's/^/apt: /' /tmp/apt
fi
echo "unit: $(systemctl is-enabled ventrolik-thermostat) $(systemctl is-active ventrolik-thermostat)"
#= ^installed$
#= ^unit: disabled inactive$

# The board, which usbrelay's rule (after ours) gives to plugdev, is still
# for lp by its access list: a user in lp switches it.
ls -l /dev/hidraw0
#= ^crw-rw----\+ .* root +plugdev .* /dev/hidraw0$
getfacl -cp /dev/hidraw0 | grep '^group:lp:'
#= ^group:lp:rw-$
ls -l /dev/gpiochip0
#= ^crw-rw----\+ .* root +lp .* /dev/gpiochip0$
ls -l /dev/gpio/by-path
#= -> \.\./\.\./gpiochip0$
taken=$(wc -l </tmp/relays)
VENTROLIK_LPT1=ABCDE setpriv --reuid 1000 --regid 1000 --groups "$(getent group lp | cut -d: -f3)" -- ventrolik on 2>&1
relays "a user in lp" "$taken"
#= ^IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'ABCDE' on /dev/hidraw0
#= ^a user in lp: ABCDE relays 10$

# An lm75 on i2c-stub, on the bus of that name (a full boot's i2c_piix4
# takes bus 0).
modprobe i2c-stub chip_addr=0x48 && modprobe i2c-dev
bus=$(grep -l "SMBus stub driver" /sys/bus/i2c/devices/i2c-*/name | sed 's|.*/i2c-\([0-9]*\)/name|\1|')
temperature() { busybox i2cset -f -y "$bus" 0x48 0x00 "$(printf '0x00%02x' "$1")" w; }
temperature 30
echo lm75 0x48 >"/sys/bus/i2c/devices/i2c-$bus/new_device"
sensor=lm75-i2c-$bus-48/temp1
printf 'SENSOR=%s\nON=50\nOFF=40\nEVERY=1\nMIN_RUN=0\n' "$sensor" >>/etc/default/ventrolik-thermostat

# The board as LPT1 for the service. Unplugged, then plugged in again, it
# comes back on a new device: said once each way, and switched at once.
echo "LPT1=ABCDE" >/etc/ventrolik.conf
systemctl start ventrolik-thermostat
started
relays "the service at 30 °C"
#= ^the service at 30 °C: ABCDE relays 00$
port=$(cat "$udc")
echo "" >"$udc"
said "is gone"
echo "$port" >"$udc"
said "is back"
temperature 55
relays "plugged in again, at 55 °C"
#= ^plugged in again, at 55 °C: ABCDE relays 10$
journal | grep "^IO.DLL"
#= ^IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'ABCDE' on /dev/hidraw0
#= ^IO\.DLL: cannot write 0x0 to port 0x378: LPT1 \(0x378\), relay board USBRelay2 'ABCDE' on /dev/hidraw0, is gone
#= ^IO\.DLL: LPT1 \(0x378\) is back: relay board USBRelay2 'ABCDE' on /dev/hidraw[0-9]

# The bridge's line 0 as LPT1 for the service: off, and on at its stop.
echo "LPT1=cp2112_gpio lines=0" >/etc/ventrolik.conf
temperature 30
systemctl restart ventrolik-thermostat
started
sleep 2
echo "GPIO at 30 °C: $(tail -n 1 /tmp/lines)"
#= ^GPIO at 30 °C: cp2112 lines 0\.\.\.\.\.\.\.$
systemctl stop ventrolik-thermostat
echo "GPIO stopped: $(tail -n 1 /tmp/lines)"
#= ^GPIO stopped: cp2112 lines 1\.\.\.\.\.\.\.$
journal | grep "^IO.DLL: LPT1 (0x378) is GPIO"
#= ^IO\.DLL: LPT1 \(0x378\) is GPIO line 0 of cp2112_gpio, for D0$
temperature 30

# On a broker: mosquitto on the guest's loopback, wanting a login, which the
# broker's unit hands the thermostat as a credential. A command switches the
# board, and the journal says what came.
printf 'listener 1883 127.0.0.1\nallow_anonymous false\npassword_file /tmp/passwd\npersistence false\n' >/tmp/mosquitto.conf
mosquitto_passwd -c -b /tmp/passwd fan s3cret && chmod 644 /tmp/passwd
mosquitto -d -c /tmp/mosquitto.conf
printf 'fan\ns3cret\n' >/etc/ventrolik/broker/login
echo "LPT1=ABCDE" >/etc/ventrolik.conf
printf 'BROKER=mqtt://127.0.0.1:1883\nBROKER_OPTIONS=--node attic\n' >>/etc/default/ventrolik-thermostat
systemctl start ventrolik-thermostat-broker
broker_journal() { journalctl -q -u ventrolik-thermostat-broker -o cat; }
connected() { broker_journal | grep -q "^broker: connected"; }
board_is() { [ "$(tail -n 1 /tmp/relays)" = "ABCDE relays $1" ]; }
eventually 60 connected && eventually 60 board_is 00
mosquitto_pub -u fan -P s3cret -t ventrolik/attic/fan/set -m ON
eventually 60 board_is 10
echo "on from the broker: $(tail -n 1 /tmp/relays)"
#= ^on from the broker: ABCDE relays 10$
broker_journal | grep "^broker\|^mode"
#= ^broker: connected to mqtt://127\.0\.0\.1:1883 as attic$
#= ^mode on, from the broker$
systemctl stop ventrolik-thermostat-broker
sed -i '/^BROKER/d' /etc/default/ventrolik-thermostat
# Two fans on the board's two relays, from a setting file, which the
# service runs in place of /etc/default's one fan: each by its own
# thresholds, on its own relay; stopped, both on. With a broker in it, the
# service without the network refuses it, naming the one with.
cat >/etc/ventrolik/thermostat.toml <<EOF
every = 1
[[fan]]
id = "exhaust"
sensors = ["$sensor"]
on = 50
off = 40
min_run = 0
[[fan]]
id = "intake"
line = "D1"
sensors = ["$sensor"]
on = 30
off = 25
min_run = 0
EOF
temperature 35
systemctl start ventrolik-thermostat
eventually 60 board_is 01
echo "two fans at 35 °C: $(tail -n 1 /tmp/relays)"
#= ^two fans at 35 °C: ABCDE relays 01$
temperature 55
eventually 60 board_is 11
echo "two fans at 55 °C: $(tail -n 1 /tmp/relays)"
#= ^two fans at 55 °C: ABCDE relays 11$
temperature 20
eventually 60 board_is 00
echo "two fans at 20 °C: $(tail -n 1 /tmp/relays)"
#= ^two fans at 20 °C: ABCDE relays 00$
systemctl stop ventrolik-thermostat
eventually 60 board_is 11
echo "two fans stopped: $(tail -n 1 /tmp/relays)"
#= ^two fans stopped: ABCDE relays 11$
journal | grep "^thermostat: 2 fans\|^intake: fan on"
#= ^thermostat: 2 fans from /etc/ventrolik/thermostat\.toml, a reading every 1 s$
#= ^intake: fan on: lm75-i2c-[0-9]+-48/temp1 at 35\.0 °C \(on at 30\.0\)$
printf '[broker]\nurl = "mqtt://127.0.0.1:1883"\n' >>/etc/ventrolik/thermostat.toml
systemctl start ventrolik-thermostat
# Settled: a unit to be restarted waits out RestartSec as "activating".
settled() { [[ $(systemctl show -P ActiveState ventrolik-thermostat) == @(failed|inactive) ]]; }
eventually 60 settled
echo "a broker without the network: status $(systemctl show -P ExecMainStatus ventrolik-thermostat)"
journal | grep -c "the service with the network is ventrolik-thermostat-broker"
#= ^a broker without the network: status 2$
#= ^1$
systemctl reset-failed ventrolik-thermostat
rm /etc/ventrolik/thermostat.toml
temperature 30
rm /etc/ventrolik/broker/login /etc/ventrolik.conf

# The port's drivers from the package's list.
systemctl restart systemd-modules-load
udevadm settle
ls -l /dev/parport0
#= ^crw-rw---- .* root +lp .* /dev/parport0$

# Enabled and started as the README says: off, on, off.
systemctl enable --now ventrolik-thermostat 2>/dev/null
started
sleep 2
data "at 30 °C"
#= ^at 30 °C: /dev/parport0 data 0x00$
temperature 55
said "^fan on: $sensor at 55.0 °C" 2
data "at 55 °C"
#= ^at 55 °C: /dev/parport0 data 0x01$
temperature 35
said "^fan off: $sensor at 35.0 °C"
data "at 35 °C"
#= ^at 35 °C: /dev/parport0 data 0x00$
journal | grep "^fan"
#= ^fan on: lm75-i2c-[0-9]+-48/temp1 at 55\.0 °C \(on at 50\.0\)$
#= ^fan on: lm75-i2c-[0-9]+-48/temp1 at 55\.0 °C \(on at 50\.0\)$
#= ^fan off: lm75-i2c-[0-9]+-48/temp1 at 35\.0 °C \(off at 40\.0\)$

# Stopped: the fan on.
systemctl stop ventrolik-thermostat
data "stopped"
#= ^stopped: /dev/parport0 data 0x01$

# Killed: started again, and in charge again.
systemctl start ventrolik-thermostat
started
systemctl kill -s KILL ventrolik-thermostat
started
temperature 55
said "^fan on: $sensor at 55.0 °C" 3
echo "killed: restarted $(systemctl show -P NRestarts ventrolik-thermostat) time(s), $(systemctl is-active ventrolik-thermostat)"
data "after the restart"
#= ^killed: restarted 1 time\(s\), active$
#= ^after the restart: /dev/parport0 data 0x01$

# No sensor set: status 2, and no restart loop.
sed -i 's/^SENSOR=.*/SENSOR=/' /etc/default/ventrolik-thermostat
systemctl restart ventrolik-thermostat
eventually 60 settled
echo "no sensor: status $(systemctl show -P ExecMainStatus ventrolik-thermostat), $(systemctl is-active ventrolik-thermostat), restarted $(systemctl show -P NRestarts ventrolik-thermostat) time(s)"
#= ^no sensor: status 2, (failed|inactive), restarted 0 time\(s\)$

# Removed while running: stopped, with the fan on; purged: nothing left.
sed -i "s|^SENSOR=.*|SENSOR=$sensor|" /etc/default/ventrolik-thermostat
temperature 35
systemctl reset-failed ventrolik-thermostat
systemctl start ventrolik-thermostat
started
sleep 2
apt-get remove -y -q ventrolik-headless >/dev/null 2>&1
echo "removed: $(systemctl is-active ventrolik-thermostat)"
data "removed"
#= ^removed: (inactive|failed)$
#= ^removed: /dev/parport0 data 0x01$
apt-get purge -y -q ventrolik-headless >/dev/null 2>&1
systemctl daemon-reload
echo "purged: left: $(find /etc /usr/lib/systemd /lib/systemd /usr/lib/udev /usr/lib/modules-load.d -name '*ventrolik*' 2>/dev/null | paste -sd' ')"
#= ^purged: left: $
