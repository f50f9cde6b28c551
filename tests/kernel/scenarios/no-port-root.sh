# As root, with no port and none listed by the firmware, nothing is written
# directly.
#: ports none
#: reports 3
ports; ppdev
ioprobe check word 888 1 out 888 0
#= IO\.DLL: no parallel port at 0x378: .*the system lists no parallel port
#= check 0$
#= IO\.DLL: cannot write 0x1
#= IO\.DLL: cannot write 0x0
