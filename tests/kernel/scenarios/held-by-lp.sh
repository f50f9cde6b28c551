# The printer driver lp holds the port, printing without end: the driver
# check refuses at once instead of waiting for it.
#: reports 1
ports && ppdev && load lp
dd if=/dev/zero of=/dev/lp0 bs=64k 2>/dev/null &
sleep 1
cat "$(active 0)"
#= ^lp$
ioprobe check
#= IO\.DLL: .*'/dev/parport0'.*'lp' holds the port
#= check 0$
