# Another ppdev client holds the port for good: the driver check refuses at
# once, since a check that waited for the port would never return.
#: reports 1
ports && ppdev
ioprobe hold /dev/parport0
ioprobe check
#= IO\.DLL: .*'/dev/parport0'.*'ppdev0' holds the port
#= check 0$
