# The fan on a Raspberry Pi 3's header, line GPIO17, switched by the arm64
# package's program on Debian's arm64 kernel, and seen from outside the
# guest: QEMU's monitor reads the line's function and level. The chip
# releases a line as an input, so what a command sets is kept by our holder.
#: machine raspi3b
#: needs build/package/ventrolik-headless_*_arm64.deb
#: reports 10
# pin N [STEP]: GPIO N as the host sees it now, "STEP: output high"
pin() { local seen; echo "observe $1"; read -r seen; echo "${2:-GPIO$1}: $seen"; }
# The SoC's sensor at whole degrees, moved through its zone's offset.
zone=/sys/class/thermal/thermal_zone0
temperature() { echo $(($(cat $zone/offset) + $1 * 1000 - $(cat $zone/temp))) >$zone/offset; }
stty -echo
load bcm2835_thermal
export VENTROLIK_LPT1="pinctrl-bcm2835 lines=GPIO17"
# The header's chip, by its driver as the package's rule for a Pi matches it
for chip in /sys/bus/gpio/devices/gpiochip*; do echo "${chip##*/}: $(basename "$(readlink "$chip/../driver")")"; done
#= ^gpiochip[0-9]+: pinctrl-bcm2835$
# The chip as Debian leaves it, for root alone, to a user in lp; then as
# the package's rule gives it to lp
su -s /bin/sh fan -c 'ventrolik on'
#= IO\.DLL: there is no GPIO chip 'pinctrl-bcm2835' that can be read \(cannot open '/dev/gpiochip0': Permission denied \(it is root:root 0600, for its owner alone: the group 'lp' should have it, as the package's udev rule gives a USB bridge's chip, and its rule for a Raspberry Pi's header once linked into /etc/udev/rules\.d: /usr/share/ventrolik/61-ventrolik-raspberry-pi\.rules
chgrp 7 /dev/gpiochip* && chmod 0660 /dev/gpiochip*
pin 17 "at boot"
#= ^at boot: input low$

# From a script: what 'on' and 'off' set stays after they exit.
ventrolik on
pin 17 "after 'ventrolik on'"
#= IO\.DLL: LPT1 \(0x378\) is GPIO line GPIO17 of pinctrl-bcm2835, for D0$
#= ^after 'ventrolik on': output high$
ventrolik off
pin 17 "after 'ventrolik off'"
#= ^after 'ventrolik off': output low$
ventrolik on && sleep 1
pin 17 "a second later"
#= ^a second later: output high$

# Two lines, on and then off through the holder, and a module that
# switches on low
VENTROLIK_LPT1="pinctrl-bcm2835 lines=GPIO22,GPIO27" ventrolik on
pin 22 "D0 on"
pin 27 "D1"
#= IO\.DLL: LPT1 \(0x378\) is GPIO lines GPIO22, GPIO27 of pinctrl-bcm2835, for D0-D1$
#= ^D0 on: output high$
#= ^D1: output low$
VENTROLIK_LPT1="pinctrl-bcm2835 lines=GPIO22,GPIO27" ventrolik off
pin 22 "D0 off"
#= ^D0 off: output low$
VENTROLIK_LPT1="pinctrl-bcm2835 lines=GPIO17 active-low" ventrolik on
pin 17 "on, active-low"
#= ^on, active-low: output low$

# A user outside the chip's group
su -s /bin/sh user -c 'ventrolik on'
#= IO\.DLL: there is no GPIO chip 'pinctrl-bcm2835' that can be read \(cannot open '/dev/gpiochip.*': Permission denied \(it is root:lp 0660: add your user to the 'lp' group, then log in again\)\)$

# The thermostat on the SoC's own sensor: on at 55 °C, off at 35 °C, the
# line an output all along, and the fan left on when it is stopped.
ventrolik off
temperature 30
ventrolik thermostat --sensor cpu_thermal-virtual-0/temp1 --on 50 --off 40 --every 1 --min-run 0 &
thermostat=$!
sleep 3
pin 17 "at 30 °C"
#= ^thermostat: cpu_thermal-virtual-0/temp1; fan on at 50\.0 °C, off at 40\.0 °C
#= ^at 30 °C: output low$
temperature 55
sleep 3
pin 17 "at 55 °C"
#= ^fan on: cpu_thermal-virtual-0/temp1 at 55\.0 °C \(on at 50\.0\)$
#= ^at 55 °C: output high$
temperature 35
sleep 3
pin 17 "at 35 °C"
#= ^fan off: cpu_thermal-virtual-0/temp1 at 35\.0 °C \(off at 40\.0\)$
#= ^at 35 °C: output low$
kill -TERM $thermostat
wait $thermostat
pin 17 "stopped"
#= ^stopped: output high$
