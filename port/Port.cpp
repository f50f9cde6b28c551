#include "Port.h"

#include "iodll/IO.h"
#include "runtime/DllFunction.h"
#include "runtime/Runtime.h"

#include <string>

namespace port {

namespace {

constexpr char kLibrary[] = "IO.DLL";
runtime::DllFunction<decltype(::IsDriverInstalled)> IsDriverInstalled{kLibrary, "IsDriverInstalled"};
runtime::DllFunction<decltype(::PortOut)> PortOut{kLibrary, "PortOut"};
runtime::DllFunction<decltype(::PortWordOut)> PortWordOut{kLibrary, "PortWordOut"};

} // namespace

void SwitchOn()
{
    // A 16-bit write: the low byte puts 1 on the data lines, so only D0 goes
    // high; the high byte goes to the status register above, which is
    // read-only and ignores it.
    PortWordOut(kLptData, 1);
}

void SwitchOff()
{
    PortOut(kLptData, char{0});
}

void WriteLines(unsigned char lines)
{
    PortOut(kLptData, static_cast<char>(lines));
}

bool DriverInstalled()
{
    // Only the low 16 bits of the answer count.
    return (IsDriverInstalled() & 0xFFFF) != 0;
}

void PrepareLibrary()
{
    runtime::prepareLibrary(kLibrary);
}

bool DriverReady()
{
    if (DriverInstalled())
        return true;
    runtime::printError(std::string(kDriverMissing) + "\n");
    return false;
}

} // namespace port
