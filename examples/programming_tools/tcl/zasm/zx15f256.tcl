# The device-specific script of the base device zx15f256, run while the core
# library assembles (setting 658). The working directory is the project
# directory.
set out [open device_script.txt w]
puts -nonewline $out [info tclversion]
close $out
