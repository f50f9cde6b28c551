# QEMU's own port at 0x378: PortWordOut and PortOut put 1 and 0 on its data
# lines, as a second ppdev client reads them, and leave the port unclaimed.
ports && ppdev
ioprobe check word 888 1 cat "$(active 0)"
#= check 1$
#= devices/active: none
ioprobe read /dev/parport0
#= parport0 data 0x01
ioprobe out 888 0 cat "$(active 0)"
#= devices/active: none
ioprobe read /dev/parport0
#= parport0 data 0x00
