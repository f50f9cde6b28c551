# A value in the control register survives the next data write.
ports && ppdev
ioprobe out 890 0x05 word 888 1 inb 0x37a
#= inb 0x37a 0x.5
