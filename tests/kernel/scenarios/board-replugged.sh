# A relay board unplugged under the thermostat and plugged in again: said
# once each way, and caught up at the next reading.
#: ports none
#: reports 3
host && hid_modules && i2c_sensor
board "www.dcttech.com USBRelay2" ABCDE >/tmp/relays
player=$!
temperature 55
echo lm75 0x48 >/sys/bus/i2c/devices/i2c-0/new_device
$on_host "$program" thermostat --sensor lm75-i2c-0-48/temp1 --on 50 --off 40 --every 1 --min-run 0 &
thermostat=$!
relays_after "before"
#= ^before: ABCDE relays 10$
kill $player
sleep 3
#= IO\.DLL: cannot write 0x1 to port 0x378: LPT1 \(0x378\), relay board USBRelay2 'ABCDE' on /dev/hidraw0, is gone
#! IO\.DLL: cannot write
board "www.dcttech.com USBRelay2" ABCDE >>/tmp/relays
relays_after "after"
#= IO\.DLL: LPT1 \(0x378\) is back: relay board USBRelay2 'ABCDE' on /dev/hidraw
#! IO\.DLL: cannot write
#= ^after: ABCDE relays 10$
kill -TERM $thermostat
wait $thermostat
