#include "frmAbout.h"

#include "program.h"

#include <algorithm>
#include <array>
#include <string_view>

using runtime::Control;
using runtime::Kind;
using runtime::on;
using runtime::Rgb;

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGrey{128, 128, 128};
constexpr Rgb kWhite{255, 255, 255};

// One string: the maker and the program, a run of blanks, then the author.
// The label breaks lines at blanks, and the run pushes the author onto its
// second line.
constexpr auto kTitle = [] {
    constexpr std::string_view program = VENTROLIK_COMPANY " " VENTROLIK_NAME;
    constexpr std::string_view author = "Autor: " VENTROLIK_AUTHOR;
    constexpr std::size_t blanks = 134;
    std::array<char, program.size() + blanks + author.size() + 1> text{};
    auto end = std::ranges::copy(program, text.begin()).out;
    end = std::ranges::fill_n(end, blanks, ' ');
    std::ranges::copy(author, end);
    return text;
}();

constexpr char kDisclaimer[] =
    "Upozorenje: Autor programa ne odgovara za eventualnu stetu nastalu koriscenjem ovog programa";

// clang-format off
constexpr Control kControls[] = {
    // name            kind            caption                          left   top  width  height  tab  style
    { "picIcon",       Kind::Picture,  "",                               240,  240,   480,   480,   1 },
    { "cmdOK",         Kind::Button,   "OK",                            4320, 1800,  1260,   345,   0,  {.isDefault = true, .isCancel = true},
                                                                                                         on<&frmAbout::cmdOK_Click> },
    { "Label1",        Kind::Label,    "tamrelo@example.org",           1080,  840,  1695,   255,   5,  {.color = kBlue} },
    // A line's four numbers are its end points.           x1    y1     x2     y2
    { "Line1",         Kind::Line,     "",                               120, 1560,  5684,  1560,  -1,  {.color = kGrey} },
    { "lblTitle",      Kind::Label,    kTitle.data(),                   1050,  120,  3885,   600,   3,  {.color = kBlack} },
    { "Line1",         Kind::Line,     "",                               105, 1560,  5654,  1560,  -1,  {.color = kWhite, .lineWidth = 2} },
    { "lblVersion",    Kind::Label,    "Verzija: " VENTROLIK_VERSION,   1050, 1200,  3885,   225,   4 },
    { "lblDisclaimer", Kind::Label,    kDisclaimer,                      240, 1680,  3870,   465,   2,  {.color = kBlack} },
};
// clang-format on

constexpr runtime::Layout kLayout{
    .frame = {.name = "frmAbout",
              .caption = "O Autoru",
              .border = runtime::Border::FixedDialog,
              .clientWidth = 5730,
              .clientHeight = 2235,
              .position = runtime::Point{2340, 1935}},
    .controls = kControls,
};

} // namespace

frmAbout::frmAbout() : Form(kLayout) {}

void frmAbout::cmdOK_Click()
{
    Unload();
}
