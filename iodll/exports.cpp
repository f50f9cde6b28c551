// The exports of IO.DLL.

#include "PortLibrary.h"
#define IODLL_EXPORTS
#include "IO.h"

namespace {

// The library, made at the first call; null, after saying why, if it can't
// be made.
iodll::PortLibrary* library(const char* operation) noexcept
{
    iodll::PortLibrary* made = nullptr;
    iodll::guarded(nullptr, operation, [&] {
        static iodll::PortLibrary instance(iodll::systemPlatform());
        made = &instance;
    });
    return made;
}

} // namespace

extern "C" int IODLL_CALL IsDriverInstalled(void)
{
    iodll::PortLibrary* ports = library("IsDriverInstalled");
    return ports && ports->canReach(iodll::kLpt1) ? 1 : 0;
}

extern "C" void IODLL_CALL PortOut(short port, char value)
{
    if (iodll::PortLibrary* ports = library("PortOut"))
        ports->out(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(value));
}

extern "C" void IODLL_CALL PortWordOut(short port, short value)
{
    if (iodll::PortLibrary* ports = library("PortWordOut"))
        ports->wordOut(static_cast<std::uint16_t>(port), static_cast<std::uint16_t>(value));
}
