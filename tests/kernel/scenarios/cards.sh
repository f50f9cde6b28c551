# Two cards and no choice: refused, with both listed.
#: ports 0xd010 0xe000
#: reports 2
ports io=0xd010,0xe000 && ppdev && lp_devices
ioprobe poke /dev/parport0 0x5a poke /dev/parport1 0x5a
ioprobe $lp_user check word 888 1
#= IO\.DLL: no parallel port at 0x378, and more than one elsewhere: /dev/parport0 at 0xd010, /dev/parport1 at 0xe000 \(choose one
#= check 0$
ioprobe read /dev/parport0 read /dev/parport1
#= parport0 data 0x5a
#= parport1 data 0x5a
