#include "forms/Form1.h"
#include "runtime/Runtime.h"

int main()
{
    return runtime::ThunRTMain({.title = "Project1", .startupForm = runtime::instanceOf<Form1>});
}
