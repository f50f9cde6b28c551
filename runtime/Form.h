#pragma once

#include "Twips.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

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
    int index = -1;                          // element of a control array
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

// The controls that have a window of their own (all but lines and pictures,
// which are drawn on the form), as indexes into `controls`, in tab order.
std::vector<std::size_t> tabOrder(std::span<const Control> controls);

// A menu bar entry and the items of its drop-down, as indexes into the
// menu table. An entry without items is a command on the bar itself.
struct MenuEntry {
    std::size_t index;
    std::vector<std::size_t> items;
};

// The menu table as the bar shows it. Throws runtime::Error for a table that
// can't be shown: an item with no bar entry above it, or a level other than
// 0 and 1.
std::vector<MenuEntry> menuTree(std::span<const MenuItem> menu);

struct Layout {
    Frame frame;
    std::span<const Control> controls;
    std::span<const MenuItem> menu = {};
};

namespace backend {
class Window;
}

// A window of the program: its stored layout plus its event handlers, which
// derived classes define. The runtime builds the real window from the layout
// when the form loads, and throws it away when the form unloads.
class Form {
public:
    explicit Form(const Layout& layout);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const Layout& layout() const { return layout_; }
    bool isLoaded() const { return window_ != nullptr; }
    // Whether any form of the program is loaded. The program ends when the
    // last one unloads.
    static bool anyLoaded();
    // Destroys the windows of forms that have unloaded. The runtime does it
    // once the event that unloaded them is over, and at the end of the loop.
    static void destroyClosedWindows();

    // Builds the window (hidden) from the layout, then runs Form_Load.
    void Load();
    // Loads the form if it isn't loaded, then shows it without making it
    // modal; an open window comes to the front.
    void Show();
    // Runs Form_Unload, then closes the window. The next Show builds it anew.
    void Unload();

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}

private:
    const Layout& layout_;
    std::unique_ptr<backend::Window> window_;
};

} // namespace runtime
