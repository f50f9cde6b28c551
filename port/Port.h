#pragma once

// The fan's switch: the data lines of the first parallel port, driven
// through the port library IO.DLL.

namespace port {

// The data register of the first parallel port.
inline constexpr short kLptData = 888;

void SwitchOn();
void SwitchOff();

// Every data line at once, D0 the lowest bit: the thermostat's fans.
void WriteLines(unsigned char lines);

// What the user is told when the driver check says no.
inline constexpr const char* kDriverMissing = "IO.DLL ne postoji u \\windows\\system folderu";

// Whether IO.DLL says its driver is installed. The first call loads the
// library, so a missing IO.DLL shows up here.
bool DriverInstalled();

// The driver check as a command makes it, with no window: false, after the
// warning on standard error, when it says no.
bool DriverReady();

// Starts the system's look at IO.DLL ahead of that first call, so that it
// is ready by then; loads nothing.
void PrepareLibrary();

} // namespace port
