#include "CommandLine.h"

#include "forms/Form1.h"
#include "program.h"
#include "runtime/Runtime.h"

int main(int argc, char** argv)
{
    const runtime::Project project{.title = "Project1",
                                   .startupForm = runtime::vbaNew2<Form1>,
                                   .name = VENTROLIK_NAME,
                                   .command = VENTROLIK_COMMAND,
                                   .appId = VENTROLIK_APP_ID,
                                   .iconResource = VENTROLIK_ICON_RESOURCE,
                                   .iconId = VENTROLIK_ICON_ID};
    const CommandLine line = parseCommandLine({argv, static_cast<std::size_t>(argc)});
    if (line.request != Request::Window)
        return runRequest(line, project);
    return runtime::ThunRTMain(project);
}
