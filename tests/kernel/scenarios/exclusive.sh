# Another program has registered for exclusive use of the port, for good.
#: reports 1
ports && ppdev
ioprobe excl /dev/parport0
ioprobe check
#= IO\.DLL: cannot claim '/dev/parport0': .*another program has exclusive use
#= check 0$
