# As root with no parport driver, where the firmware lists a port at 0x378
# (QEMU's ACPI tables list its port as PNP0400), IO.DLL writes it directly,
# and says so once.
#: reports 1
ls /sys/bus/pnp/devices/*/id | xargs grep -l PNP040 >/dev/null || echo "the firmware lists no parallel port"
ioprobe check word 888 1 inb 0x378 out 888 0 inb 0x378
#= IO\.DLL: writing to port 0x378 directly
#= check 1$
#= inb 0x378 0x01
#= inb 0x378 0x00
