// The back end of a program with no window: the thermostat and the
// commands. Its text goes to the terminal, the journal or a pipe, and a
// message box is a line on standard error.

#include "../Backend.h"

#include <cstdio>

namespace runtime::backend {

bool attachConsole(std::FILE*)
{
    return true; // a POSIX process always has its standard streams
}

MsgBoxResult messageBox(std::string_view prompt, MsgBoxStyle, std::string_view title)
{
    std::fprintf(stderr, "%.*s: %.*s\n", int(title.size()), title.data(), int(prompt.size()), prompt.data());
    return vbOK;
}

} // namespace runtime::backend
