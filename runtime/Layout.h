#pragma once

// A form as its file stores it: the frame, the controls and the menu, in
// twips, with the handlers behind them.

#include "Twips.h"

#include <cstdint>
#include <optional>
#include <span>

namespace runtime {

class Form;

// An event handler of a form, stored in its layout table. Written in the
// tables as on<&Form1::Command1_Click>.
using Handler = void (*)(Form&);

namespace detail {
template <typename>
struct OwnerOf;
template <typename F>
struct OwnerOf<void (F::*)()> {
    using type = F;
};
template <auto handler>
void call(Form& form)
{
    (static_cast<typename OwnerOf<decltype(handler)>::type&>(form).*handler)();
}
} // namespace detail

template <auto handler>
inline constexpr Handler on = &detail::call<handler>;

struct Rgb {
    std::uint8_t red, green, blue;
};

enum class Border {
    FixedSingle, // title bar with icon, system menu, minimize and close box
    FixedDialog, // title bar with a close box only
};

struct Point {
    Twips x, y;
};

struct Frame {
    const char* name;
    const char* caption;
    Border border;
    Twips clientWidth, clientHeight; // below the menu bar
    // Where the client area's top-left corner sits on the screen; without
    // one, the system places the window.
    std::optional<Point> position = std::nullopt;
};

enum class Kind { Button, Label, Picture, Line };

struct Style {
    std::optional<Rgb> color = std::nullopt; // a label's text, a line's pen
    int lineWidth = 1;                       // pixels
    bool isDefault = false;                  // Enter clicks it
    bool isCancel = false;                   // Esc clicks it
};

// One control, in the window's stored order (back to front). A line's four
// numbers are its end points x1, y1, x2, y2 instead of a box.
struct Control {
    const char* name;
    Kind kind;
    const char* caption;
    Twips left, top, width, height;
    int tabIndex = -1; // -1: never takes the focus
    Style style = {};
    Handler click = nullptr;
};

// A menu bar entry (level 0) or an item of the drop-down above it (level 1).
// A level-0 entry with no items under it is a command on the bar itself.
struct MenuItem {
    const char* name;
    const char* caption;
    int level;
    Handler click = nullptr;
};

struct Layout {
    Frame frame;
    std::span<const Control> controls;
    std::span<const MenuItem> menu = {};
};

} // namespace runtime
