// A stand-in IO.DLL for tests: it records every call, one line each, in the
// file named by IO_RECORD_FILE, and answers IsDriverInstalled with the
// number in IO_DRIVER_ANSWER (decimal or 0x hex; 1 when unset).

#define IODLL_EXPORTS
#include "iodll/IO.h"

#include <cstdio>
#include <cstdlib>

namespace {

void record(const char* line)
{
    if (const char* path = std::getenv("IO_RECORD_FILE")) {
        if (std::FILE* file = std::fopen(path, "ab")) {
            std::fprintf(file, "%s\n", line);
            std::fclose(file);
        }
    }
}

} // namespace

extern "C" int IODLL_CALL IsDriverInstalled(void)
{
    record("IsDriverInstalled");
    const char* answer = std::getenv("IO_DRIVER_ANSWER");
    return answer ? static_cast<int>(std::strtol(answer, nullptr, 0)) : 1;
}

extern "C" void IODLL_CALL PortOut(short port, char value)
{
    char line[64];
    std::snprintf(line, sizeof line, "PortOut %d %d", port, value);
    record(line);
}

extern "C" void IODLL_CALL PortWordOut(short port, short value)
{
    char line[64];
    std::snprintf(line, sizeof line, "PortWordOut %d %d", port, value);
    record(line);
}
