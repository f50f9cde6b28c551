# Two relay boards: how often they are opened for one `ventrolik on`, and
# for ten thermostat readings once all is known, when no board's ID is read
# again. (relayplay says each open and ID read on stderr.)
#: ports none
#: reports 2
host && hid_modules && i2c_sensor
board "www.dcttech.com USBRelay2" ABCDE >/tmp/relays 2>/tmp/looks
board "www.dcttech.com USBRelay2" FGHIJ >>/tmp/relays 2>>/tmp/looks
looks() { echo "$1: $(grep -c opened /tmp/looks) opens, $(grep -c 'ID read' /tmp/looks) ID reads" && : >/tmp/looks; }
: >/tmp/looks
$on_host VENTROLIK_LPT1=FGHIJ "$program" on
sleep 0.5
looks "one on"
#= IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'FGHIJ'
#= ^one on: [0-9]+ opens, [0-9]+ ID reads$

temperature 30
echo lm75 0x48 >/sys/bus/i2c/devices/i2c-0/new_device
$on_host VENTROLIK_LPT1=FGHIJ "$program" thermostat --sensor lm75-i2c-0-48/temp1 --on 50 --off 40 --every 1 &
thermostat=$!
relays_after "first reading" >/dev/null
: >/tmp/looks
for reading in 1 2 3 4 5 6 7 8 9 10; do relays_after "reading $reading" >/dev/null; done
looks "ten readings"
#= ^ten readings: [0-9]+ opens, 0 ID reads$
kill -TERM $thermostat
wait $thermostat
