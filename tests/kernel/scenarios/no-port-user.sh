# No port at all: the check says no, and each write fails and says so.
#: ports none
#: reports 3
ports; ppdev
ioprobe $user check word 888 1 out 888 0
#= IO\.DLL: no parallel port at 0x378
#= check 0$
#= IO\.DLL: cannot write 0x1 to port 0x378
#= IO\.DLL: cannot write 0x0 to port 0x378
