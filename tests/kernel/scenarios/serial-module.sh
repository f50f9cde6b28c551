# A serial relay module played on a pseudo-terminal: a frame per relay, with
# its checksum; a missing device is refused, naming it.
#: ports none
#: reports 4
mkdir -p /dev/pts && mount -t devpts devpts /dev/pts
relayplay serial /dev/ttyUSB0 &
sleep 0.3
VENTROLIK_LPT1=/dev/ttyUSB0 ioprobe check word 888 1 out 888 0
#= IO\.DLL: LPT1 \(0x378\) is the serial relay module on /dev/ttyUSB0: data line D0 is relay 1
#= check 1$
#= serial a0 01 01 a2
#= serial a0 01 00 a1
sleep 0.3
VENTROLIK_LPT1="/dev/ttyUSB0 relays=2" ioprobe word 888 1 out 888 0
#= IO\.DLL: LPT1 \(0x378\) is the serial relay module on /dev/ttyUSB0: data lines D0-D1 are relays 1-2
#= serial a0 01 01 a2
#= serial a0 02 00 a2
#= serial a0 01 00 a1
#= serial a0 02 00 a2
sleep 0.3
VENTROLIK_LPT1=/dev/ttyUSB9 ioprobe check
#= IO\.DLL: cannot open '/dev/ttyUSB9': No such file or directory \(is the relay module plugged in\?\)
#= check 0$
