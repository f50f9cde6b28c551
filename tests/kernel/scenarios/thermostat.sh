# The thermostat, built for the host and run from the host's root, reads the
# kernel's lm75 driver on an i2c-stub chip through libsensors, and switches a
# relay board.
#: ports none
#: reports 1
host && hid_modules && i2c_sensor
board "www.dcttech.com USBRelay2" ABCDE >/tmp/relays
temperature 30
echo lm75 0x48 >/sys/bus/i2c/devices/i2c-0/new_device
$on_host "$program" thermostat --sensor lm75-i2c-0-48/temp1 --on 50 --off 40 --every 1 --min-run 0 &
thermostat=$!
#= thermostat: lm75-i2c-0-48/temp1; fan on at 50\.0 °C, off at 40\.0 °C; a reading every 1 s
relays_after "at 30 °C"
#= ^at 30 °C: ABCDE relays 00$
temperature 55
relays_after "at 55 °C"
#= ^fan on: lm75-i2c-0-48/temp1 at 55\.0 °C \(on at 50\.0\)$
#= ^at 55 °C: ABCDE relays 10$
#! ^fan
temperature 45
relays_after "at 45 °C"
#= ^at 45 °C: ABCDE relays 10$
temperature 35
relays_after "at 35 °C"
#= ^fan off: lm75-i2c-0-48/temp1 at 35\.0 °C \(off at 40\.0\)$
#= ^at 35 °C: ABCDE relays 00$
temperature 55
relays_after "at 55 °C"
#= ^fan on: lm75-i2c-0-48/temp1 at 55\.0 °C
#= ^at 55 °C: ABCDE relays 10$

# The sensor goes: counted as hot, said once
echo 0x48 >/sys/bus/i2c/devices/i2c-0/delete_device
relays_after gone
#= ^lm75-i2c-0-48/temp1 fails: .*; counted as hot until it reads again$
#! fails
#= ^gone: ABCDE relays 10$
#! fails
kill -TERM $thermostat
wait $thermostat
echo "exit $?: $(tail -n 1 /tmp/relays)"
#= ^thermostat stopped by SIGTERM: fan on$
#= ^exit 0: ABCDE relays 10$

# A sensor that isn't there: refused, with the list of those that are
echo lm75 0x48 >/sys/bus/i2c/devices/i2c-0/new_device
$on_host "$program" thermostat --sensor lm75-i2c-0-48/temp9 --on 50 --off 40
echo "exit $?"
#= ^ventrolik: 'lm75-i2c-0-48/temp9' matches no sensor$
#= ^The temperature sensors here are:$
#= ^  lm75-i2c-0-48/temp1$
#= ^exit 2$
