# LPT1 on HID relay boards played through uhid, with no parallel port.
#: ports none
#: reports 7
hid_modules
board "www.dcttech.com USBRelay2" ABCDE
ioprobe $lp_user check word 888 1 out 888 0
#= IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'ABCDE' on /dev/hidraw0: data lines D0-D1 are relays 1-2
#= check 1$
#= ABCDE relays 10
#= ABCDE relays 10
#= ABCDE relays 00
#= ABCDE relays 00

# A user outside lp
ioprobe $user check
#= IO\.DLL: cannot open '/dev/hidraw0': Permission denied \(it is root:lp 0660: add your user to the 'lp' group
#= check 0$

# Two boards, none chosen
board "www.dcttech.com USBRelay2" FGHIJ
ioprobe $lp_user check
#= IO\.DLL: no parallel port at 0x378, and more than one relay board: relay board USBRelay2 'ABCDE' on /dev/hidraw0, relay board USBRelay2 'FGHIJ' on /dev/hidraw1 \(choose one
#= check 0$

# One chosen by its ID: the other is left alone
VENTROLIK_LPT1=FGHIJ ioprobe $lp_user check word 888 1
#= IO\.DLL: LPT1 \(0x378\) is relay board USBRelay2 'FGHIJ'
#! ABCDE relays
#= FGHIJ relays 10
#! ABCDE relays
#= FGHIJ relays 10
#! ABCDE relays
echo done
#= done

# A board that refuses its report: a failed write
board "USBRelay1" KLMNO fail
VENTROLIK_LPT1=/dev/hidraw2 ioprobe $lp_user word 888 1
#= KLMNO refused relay 1
#= IO\.DLL: cannot write 0x1 to port 0x378: cannot switch relay 1 of '/dev/hidraw2'
