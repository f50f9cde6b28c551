# Two cards, and a choice of a port that isn't there: refused, naming it.
#: ports 0xd010 0xe000
#: reports 2
ports io=0xd010,0xe000 && ppdev && lp_devices
ioprobe poke /dev/parport0 0x5a poke /dev/parport1 0x5a
VENTROLIK_LPT1=/dev/parport7 ioprobe $lp_user check word 888 1
#= IO\.DLL: LPT1 is set to '/dev/parport7' in VENTROLIK_LPT1, but there is no such parallel port
#= check 0$
ioprobe read /dev/parport0 read /dev/parport1
#= parport0 data 0x5a
#= parport1 data 0x5a
