# Two cards, LPT1 chosen in VENTROLIK_LPT1.
#: ports 0xd010 0xe000
#: reports 1
ports io=0xd010,0xe000 && ppdev && lp_devices
ioprobe poke /dev/parport0 0x5a poke /dev/parport1 0x5a
VENTROLIK_LPT1=/dev/parport1 ioprobe $lp_user check word 888 1
#= IO\.DLL: LPT1 \(0x378\) is /dev/parport1 at 0xe000
#= check 1$
ioprobe read /dev/parport0 read /dev/parport1
#= parport0 data 0x5a
#= parport1 data 0x01
