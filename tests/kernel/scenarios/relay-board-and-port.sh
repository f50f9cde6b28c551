# A port at 888 goes before a relay board.
hid_modules && ports && ppdev
board "www.dcttech.com USBRelay2" ABCDE
ioprobe check word 888 1
#= check 1$
#! relays
ioprobe read /dev/parport0
#= parport0 data 0x01
