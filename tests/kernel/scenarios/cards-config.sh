# Two cards, LPT1 chosen in /etc/ventrolik.conf.
#: ports 0xd010 0xe000
#: reports 1
ports io=0xd010,0xe000 && ppdev && lp_devices
ioprobe poke /dev/parport0 0x5a poke /dev/parport1 0x5a
echo "LPT1=/dev/parport0  # the fan" >/etc/ventrolik.conf
ioprobe $lp_user check word 888 1
#= IO\.DLL: LPT1 \(0x378\) is /dev/parport0 at 0xd010
#= check 1$
ioprobe read /dev/parport0 read /dev/parport1
#= parport0 data 0x01
#= parport1 data 0x5a
