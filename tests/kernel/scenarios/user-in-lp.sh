# A user in the group lp switches the port.
ports && ppdev
chgrp 7 /dev/parport0 && chmod 0660 /dev/parport0
ioprobe $lp_user check word 888 1
#= check 1$
ioprobe read /dev/parport0
#= parport0 data 0x01
