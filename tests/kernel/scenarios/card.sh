# LPT1 on a PCI card at 0xd010, the only port, for a user in group lp.
#: ports 0xd010
#: reports 1
ports io=0xd010 && ppdev && lp_devices
ioprobe $lp_user check word 888 1
#= IO\.DLL: LPT1 \(0x378\) is /dev/parport0 at 0xd010
#= check 1$
ioprobe read /dev/parport0
#= parport0 data 0x01
