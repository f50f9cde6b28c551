#pragma once

// The program as the runtime knows it. The window's program adds the form
// it starts with; the commands start none.

#include "program.h"
#include "runtime/Runtime.h"

#include <functional>
#include <utility>

inline runtime::Project ventrolikProject(std::function<runtime::Form&()> startupForm = {})
{
    return {.title = "Project1",
            .startupForm = std::move(startupForm),
            .name = VENTROLIK_NAME,
            .command = VENTROLIK_COMMAND,
            .appId = VENTROLIK_APP_ID,
            .iconResource = VENTROLIK_ICON_RESOURCE,
            .iconId = VENTROLIK_ICON_ID};
}
