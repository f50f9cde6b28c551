// The window's program: the windows alone, with none of the thermostat's
// libraries. `ventrolik` with no command starts it, and so does the
// desktop entry, directly.

#include "app/Project.h"
#include "forms/Form1.h"
#include "port/Port.h"

#include <cstdio>

int main(int argc, char**)
{
    if (argc > 1) {
        std::fputs("ventrolik-window: the window's program takes no arguments; the commands are ventrolik's "
                   "(ventrolik --help)\n",
                   stderr);
        return 2;
    }
    // The start-up form's driver check loads IO.DLL: the system's look at
    // it runs meanwhile, beside the toolkit's start.
    port::PrepareLibrary();
    return runtime::ThunRTMain(ventrolikProject(runtime::vbaNew2<Form1>));
}
