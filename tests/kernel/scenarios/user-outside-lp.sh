# A user outside the group lp is refused, with the fix.
#: reports 1
ports && ppdev
chgrp 7 /dev/parport0 && chmod 0660 /dev/parport0
ls -l /dev/parport0
#= crw-rw---- .* root +lp 
ioprobe $user check
#= IO\.DLL: cannot open '/dev/parport0': Permission denied .*'lp' group
#= check 0$
