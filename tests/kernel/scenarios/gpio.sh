# LPT1 on the GPIO lines of a CP2112 USB-to-GPIO bridge: a USB device on
# dummy_hcd, driven by the kernel's own hid-cp2112 through its gpiochip, as
# the package's udev rule gives it to lp. The bridge says its lines' state
# ('1', '0', or '.' for an input), line 0 first, each time it is set.
#: ports none
#: reports 15
host && load dummy_hcd num=2 && load usb_f_fs && load usbhid && load hid-cp2112 && i2c_sensor
relayplay cp2112 >/tmp/relays 2>/dev/null &
until [ -e /dev/gpiochip0 ]; do sleep 0.1; done
chgrp 7 /dev/gpiochip0 && chmod 0660 /dev/gpiochip0
# gpio SETTING VALUE STEP: writes VALUE to LPT1 on the bridge's lines
gpio() {
    VENTROLIK_LPT1="cp2112_gpio $1" ioprobe $lp_user out 888 "$2"
    echo "$3: $(tail -n 1 /tmp/relays)"
}
gpio lines=0 1 on
#= IO\.DLL: LPT1 \(0x378\) is GPIO line 0 of cp2112_gpio, for D0$
#= ^on: cp2112 lines 1\.\.\.\.\.\.\.$
gpio lines=0 0 off
#= ^off: cp2112 lines 0\.\.\.\.\.\.\.$

# D0 and D1 on two lines, where D2 goes nowhere; a relay module that
# switches on low
gpio lines=2,3 2 "D1 on"
#= IO\.DLL: LPT1 \(0x378\) is GPIO lines 2, 3 of cp2112_gpio, for D0-D1$
#= ^D1 on: cp2112 lines 0\.01\.\.\.\.$
gpio lines=2,3 6 "D1 and D2"
#= IO\.DLL: LPT1 \(0x378\) is GPIO lines 2, 3 of cp2112_gpio, for D0-D1$
#= IO\.DLL: D2 goes nowhere: LPT1 \(0x378\) is GPIO lines 2, 3 of cp2112_gpio, for D0-D1$
#= ^D1 and D2: cp2112 lines 0\.01\.\.\.\.$
gpio "lines=0 active-low" 0 "off, active-low"
#= IO\.DLL: LPT1 \(0x378\) is GPIO line 0 of cp2112_gpio, active-low, for D0$
#= ^off, active-low: cp2112 lines 1\.01\.\.\.\.$

# A line held by another program (gpiod 1.6's options, else 2's); a user
# outside lp
$on_host sh -c 'gpioset --mode=signal gpiochip0 5=0 2>/dev/null || gpioset -c gpiochip0 5=0' &
sleep 2
gpio lines=5 1
#= IO\.DLL: cannot write 0x1 to port 0x378: GPIO line 5 of cp2112_gpio \(gpiochip0\) is held by 'gpioset' \(stop that program, or choose another line\)$
VENTROLIK_LPT1="cp2112_gpio lines=0" ioprobe $user out 888 1
#= IO\.DLL: cannot write 0x1 to port 0x378: there is no GPIO chip 'cp2112_gpio' that can be read \(cannot open '/dev/gpiochip0': Permission denied \(it is root:lp 0660: add your user to the 'lp' group, then log in again\)\)$

# The thermostat: off, on, off, and on when it stops
temperature 30
echo lm75 0x48 >/sys/bus/i2c/devices/i2c-0/new_device
$on_host VENTROLIK_LPT1="cp2112_gpio lines=0" "$program" thermostat --sensor lm75-i2c-0-48/temp1 --on 50 --off 40 --every 1 --min-run 0 &
thermostat=$!
relays_after "at 30 °C"
#= IO\.DLL: LPT1 \(0x378\) is GPIO line 0 of cp2112_gpio, for D0$
#= ^at 30 °C: cp2112 lines 0\.01\.0\.\.$
temperature 55
relays_after "at 55 °C"
#= ^at 55 °C: cp2112 lines 1\.01\.0\.\.$
temperature 35
relays_after "at 35 °C"
#= ^at 35 °C: cp2112 lines 0\.01\.0\.\.$
# Unplugged under it, and plugged in again: said once each way, and driven
# again.
udc=/sys/kernel/config/usb_gadget/cp2112/UDC
port=$(cat "$udc")
echo "" >"$udc"
sleep 3
echo "$port" >"$udc"
temperature 55
for wait in $(seq 150); do tail -n 1 /tmp/relays | grep -q "^cp2112 lines 1" && break; sleep 0.2; done
echo "back at 55 °C: $(tail -n 1 /tmp/relays)"
#= ^IO\.DLL: cannot write 0x0 to port 0x378: .*; it is used again once it is back$
#= ^IO\.DLL: LPT1 \(0x378\) is back: GPIO line 0 of cp2112_gpio$
#= ^back at 55 °C: cp2112 lines 1
kill -TERM $thermostat
wait $thermostat
echo "stopped: $(tail -n 1 /tmp/relays)"
#= ^stopped: cp2112 lines 1\.01\.0\.\.$

# What a one-shot 'ventrolik off', then 'on', leaves on the line once it
# has exited: the holder keeps it (and the bridge would).
$on_host VENTROLIK_LPT1="cp2112_gpio lines=0" "$program" off
$on_host VENTROLIK_LPT1="cp2112_gpio lines=0" "$program" on
sleep 2
echo "after 'ventrolik on': $(tail -n 1 /tmp/relays)"
#= ^after 'ventrolik on': cp2112 lines 1\.01\.0\.\.$

# A second bridge alike, with a serial number: the label names neither.
relayplay cp2112 B2 >/tmp/relays2 2>/dev/null &
until [ "$(ls /dev/gpiochip* | wc -l)" -ge 2 ]; do sleep 0.1; done
chgrp 7 /dev/gpiochip* && chmod 0660 /dev/gpiochip*
gpio lines=0 0 "two bridges"
#= IO\.DLL: cannot write 0x0 to port 0x378: more than one GPIO chip is labelled 'cp2112_gpio': (?=.*serial 'B2')/dev/gpiochip[0-9]+ \(USB [0-9-]+.*\), /dev/gpiochip[0-9]+ \(USB [0-9-]+.*\) \(name the one for the fan by its device
#= ^two bridges: cp2112 lines 1\.01\.0\.\.$
