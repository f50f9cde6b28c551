# A port without the ppdev module: the fix is to load it.
#: reports 1
ports
ioprobe $user check
#= IO\.DLL: cannot open '/dev/parport0'.*modprobe ppdev
#= check 0$
