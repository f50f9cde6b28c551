# Upgraded from the one package of before (ventrolik 1.00-1) to the two of
# today, with the thermostat's service enabled and running, as a user who
# set it up has it: the host's Debian booted with systemd, as for the
# package scenario.
#: needs build/package/previous/ventrolik_*_amd64.deb
if [ -z "${BASH_VERSION:-}" ]; then
    boot_systemd "$tests/kernel/scenarios/upgrade.sh"
    echo "systemd: the boot failed"
    return
fi
set -u
source "$VENTROLIK_TESTS/common.sh"
packages=$VENTROLIK_TESTS/../build/package
ioprobe=$(dirname "$VENTROLIK_PROGRAM")/tests/ioprobe
install() { apt-get install -y -q "$@" >/tmp/apt 2>&1 || sed 's/^/apt: /' /tmp/apt; }
service() { echo "$(systemctl is-enabled ventrolik-thermostat) $(systemctl is-active ventrolik-thermostat)"; }
echo "systemd: $(systemctl is-system-running --wait)"
#= ^systemd: (running|degraded)$

# The package of before, its service enabled and running on an lm75.
modprobe parport_pc && modprobe ppdev
modprobe i2c-stub chip_addr=0x48 && modprobe i2c-dev
bus=$(grep -l "SMBus stub driver" /sys/bus/i2c/devices/i2c-*/name | sed 's|.*/i2c-\([0-9]*\)/name|\1|')
busybox i2cset -f -y "$bus" 0x48 0x00 0x001e w
echo lm75 0x48 >"/sys/bus/i2c/devices/i2c-$bus/new_device"
install "$(ls "$packages"/previous/ventrolik_*_amd64.deb)"
printf 'SENSOR=lm75-i2c-%s-48/temp1\nON=50\nOFF=40\nEVERY=1\n' "$bus" >>/etc/default/ventrolik-thermostat
systemctl enable --now ventrolik-thermostat 2>/dev/null
echo "before: $(dpkg-query -W -f='${Package} ${Version}' ventrolik), $(service)"
#= ^before: ventrolik 1\.00-1, enabled active$

# Upgraded with apt: the service goes on, on the new program, with the
# user's settings; and what moved belongs to its new package.
install "$(ls "$packages"/ventrolik_*_amd64.deb)" "$(ls "$packages"/ventrolik-headless_*_amd64.deb)"
echo "after: $(dpkg-query -W -f='${Package} ${Version} ' ventrolik ventrolik-headless)$(service)"
#= ^after: ventrolik 1\.00-2 ventrolik-headless 1\.00-2 enabled active$
echo "program: $(readlink "/proc/$(systemctl show -P MainPID ventrolik-thermostat)/exe")"
#= ^program: /usr/lib/[^/]+/ventrolik/ventrolik$
grep "^SENSOR=" /etc/default/ventrolik-thermostat
#= ^SENSOR=lm75-i2c-[0-9]+-48/temp1$
for file in /usr/bin/ventrolik /etc/default/ventrolik-thermostat "$(systemctl show -P FragmentPath ventrolik-thermostat)"; do
    dpkg -S "$file"
done
#= ^ventrolik-headless: /usr/bin/ventrolik$
#= ^ventrolik-headless: /etc/default/ventrolik-thermostat$
#= ^ventrolik-headless: (/usr)?/lib/systemd/system/ventrolik-thermostat\.service$
echo "conffiles: $(dpkg-query -W -f='${Conffiles}' ventrolik-headless | awk '{ print $1 }' | paste -sd' ')"
#= ^conffiles: /etc/default/ventrolik-thermostat$

# The commands as typed before: stopped, the service puts the fan on, and
# "ventrolik off" switches it off.
systemctl stop ventrolik-thermostat
echo "stopped: $("$ioprobe" read /dev/parport0)"
ventrolik off
echo "off: $("$ioprobe" read /dev/parport0)"
#= ^stopped: /dev/parport0 data 0x01$
#= ^off: /dev/parport0 data 0x00$

# Both purged: nothing left.
apt-get purge -y -q ventrolik ventrolik-headless >/dev/null 2>&1
systemctl daemon-reload
echo "purged: left: $(find /etc /usr/lib/systemd /lib/systemd /usr/lib/udev /usr/lib/modules-load.d -name '*ventrolik*' 2>/dev/null | paste -sd' ')"
#= ^purged: left: $
