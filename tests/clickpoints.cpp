// Where the end-to-end tests click in the main window, as the program lays
// it out at 96 dots per inch: the client area's height, and each button's
// centre in the client area, as shell assignments for eval:
//
//   client_height=52
//   Command1_x=48 Command1_y=24

#include "forms/Form1.h"
#include "runtime/WindowView.h"

#include <cstdio>

int main()
{
    const Form1 form;
    const runtime::WindowView view = runtime::resolve(form.layout(), 96);
    std::printf("client_height=%d\n", view.clientHeight);
    for (const runtime::ControlView& control : view.controls)
        if (control.kind == runtime::Kind::Button)
            std::printf("%s_x=%d %s_y=%d\n", control.name, control.box.x + control.box.width / 2, control.name,
                        control.box.y + control.box.height / 2);
}
