// The exports of IO.DLL.

#include "PortLibrary.h"
#include "runtime/CallingConvention.h"

namespace {

iodll::PortLibrary& library()
{
#ifdef _WIN32
    static iodll::PortLibrary instance(iodll::windowsPlatform());
#else
    static iodll::PortLibrary instance(iodll::linuxPlatform(iodll::linuxSystem()));
#endif
    return instance;
}

} // namespace

#ifdef _WIN32
#define IODLL_EXPORT extern "C" // exported, undecorated, through IO.def
#else
#define IODLL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

IODLL_EXPORT int RT_STDCALL IsDriverInstalled(void)
{
    return library().canReach(iodll::kLpt1) ? 1 : 0;
}

IODLL_EXPORT void RT_STDCALL PortOut(short port, char value)
{
    library().out(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(value));
}

IODLL_EXPORT void RT_STDCALL PortWordOut(short port, short value)
{
    library().wordOut(static_cast<std::uint16_t>(port), static_cast<std::uint16_t>(value));
}
