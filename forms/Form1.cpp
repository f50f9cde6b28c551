#include "Form1.h"

#include "frmAbout.h"

#include "port/Port.h"
#include "runtime/Runtime.h"

using runtime::Control;
using runtime::Kind;
using runtime::MenuItem;
using runtime::on;

namespace {

// clang-format off
constexpr Control kControls[] = {
    // name       kind          caption     left  top  width  height  tab  style  click
    { "Command1", Kind::Button, "Ukljuci",   120, 120,  1215,   495,   0,   {},    on<&Form1::Command1_Click> },
    { "Command2", Kind::Button, "Iskljuci", 1560, 120,  1215,   495,   1,   {},    on<&Form1::Command2_Click> },
};

constexpr MenuItem kMenu[] = {
    // name           caption     level  click
    { "mnuAkcija",   "Akcija",    0 },
    { "mnuUkljuci",  "Ukljuci",   1,     on<&Form1::mnuUkljuci_Click> },
    { "mnuIskljuci", "Iskljuci",  1,     on<&Form1::mnuIskljuci_Click> },
    { "mnuOAutoru",  "O Autoru",  0,     on<&Form1::mnuOAutoru_Click> },
};
// clang-format on

constexpr runtime::Layout kLayout{
    .frame = {.name = "Form1",
              .caption = "Ventrolik",
              .border = runtime::Border::FixedSingle,
              .clientWidth = 2910,
              .clientHeight = 780},
    .controls = kControls,
    .menu = kMenu,
};

} // namespace

Form1::Form1() : Form(kLayout) {}

void Form1::Form_Load()
{
    if (!port::DriverInstalled())
        runtime::rtcMsgBox(port::kDriverMissing);
    LPTadresa = port::kLptData;
}

void Form1::Form_Unload()
{
    runtime::vbaEnd();
}

void Form1::Command1_Click()
{
    port::SwitchOn();
}

void Form1::Command2_Click()
{
    port::SwitchOff();
}

// The menu items do what their buttons do, by calling the buttons' handlers.
void Form1::mnuUkljuci_Click()
{
    Command1_Click();
}

void Form1::mnuIskljuci_Click()
{
    Command2_Click();
}

void Form1::mnuOAutoru_Click()
{
    runtime::vbaNew2<frmAbout>().Show();
}
