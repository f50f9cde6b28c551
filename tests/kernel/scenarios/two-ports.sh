# With a port at 0x278 too, only the one at 0x378 is written.
#: ports 0x278 0x378
ports io=0x278,0x378 && ppdev
ioprobe poke /dev/parport0 0x5a poke /dev/parport1 0x00
ioprobe check word 888 1
#= check 1$
ioprobe read /dev/parport0 read /dev/parport1
#= parport0 data 0x5a
#= parport1 data 0x01
