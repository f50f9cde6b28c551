// The Windows program: its windows, and the commands of its command line.
// (On Linux these are two programs: linux/Commands.cpp and linux/Window.cpp.)

#include "CommandLine.h"
#include "Project.h"

#include "forms/Form1.h"

int main(int argc, char** argv)
{
    const runtime::Project project = ventrolikProject(runtime::vbaNew2<Form1>);
    const CommandLine line = parseCommandLine({argv, static_cast<std::size_t>(argc)});
    if (line.request != Request::Window)
        return runRequest(line, project);
    return runtime::ThunRTMain(project);
}
