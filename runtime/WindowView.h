#pragma once

// A form's layout worked out for one screen: everything a back end needs to
// draw the window, in pixels, with every decision already taken. A back end
// only draws what this says, and reports what the user did as an Event.

#include "Layout.h"
#include "TextWrap.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

inline constexpr int kIconSize = 32; // the program icon, in pixels, at any density

struct PixelPoint {
    int x, y;
};

struct PixelRect {
    int x, y, width, height;
};

struct PixelLine {
    PixelPoint from, to;
};

struct BorderTraits {
    bool dialog; // a dialog's frame: a close box, no system menu
    bool icon;   // the program icon in the frame: not on a dialog's
    bool minimizeBox;
    bool maximizeBox;
    bool resizable;
};

struct ControlView {
    std::size_t control; // in the layout's table
    const char* name;
    Kind kind;
    const char* caption;
    std::string spoken;       // what a screen reader says of it; a picture is the program icon, named so
    PixelRect box;            // where its window goes; a line has none
    PixelLine line;           // a line's end points

    std::optional<Rgb> color; // a line's always; a label's where the table sets one
    int lineWidth;
    bool tabStop; // takes the focus with Tab
};

struct MenuView {
    std::size_t item; // in the layout's menu table: what an event names
    const char* name;
    const char* caption;
    std::vector<MenuView> items; // none: a command on the bar itself
};

// How far a toolkit's frame reaches beyond the client area, above it (with
// the menu bar) and to its left.
struct FrameInsets {
    int left, top;
};

struct WindowView {
    const char* name;
    const char* caption;
    int dpi;
    BorderTraits border;
    int clientWidth, clientHeight;            // below the menu bar
    std::optional<PixelPoint> clientPosition; // none: the system places it
    // Controls in creation order: buttons and labels by their tab index
    // (only buttons take the focus), then pictures and lines, back to front.
    std::vector<ControlView> controls;
    std::optional<std::size_t> firstFocus; // index into controls
    std::optional<std::size_t> defaultButton, cancelButton;
    std::vector<MenuView> menu;

    // Where the frame goes for the client area to sit where the layout puts it.
    std::optional<PixelPoint> framePosition(FrameInsets insets) const;
};

// Throws runtime::Error for a table that no back end can show: a menu item
// with no bar entry above it, a level other than 0 or 1, two default or two
// cancel buttons.
WindowView resolve(const Layout& layout, int dpi);

// A label's lines, wrapped at blanks to its width, at the largest of its
// font's sizes (from `shrink` 0, the font itself, down a pixel at a time to
// kMostShrink) at which they fit its height. `measure(text, shrink)` and
// `lineHeight(shrink)` are the back end's font metrics.
inline constexpr int kMostShrink = 3;
struct Typeset {
    std::vector<std::string_view> lines;
    int shrink;
    int lineHeight;
};
template <typename Measure, typename LineHeight>
Typeset typeset(std::string_view text, int width, int height, Measure measure, LineHeight lineHeight);

// What the user did in a window.
struct Event {
    enum What { Clicked, MenuChosen, CloseAsked } what;
    std::size_t index = 0; // in the layout's table: ControlView::control, MenuView::item
};

// What a back end's window holds of its form: its description at any
// density, and where its events go. The form runs the handler behind the
// error boundary.
class WindowModel {
public:
    virtual WindowView view(int dpi) const = 0;
    virtual void report(Event event) = 0;

protected:
    ~WindowModel() = default;
};

} // namespace runtime

template <typename Measure, typename LineHeight>
runtime::Typeset runtime::typeset(std::string_view text, int width, int height, Measure measure, LineHeight lineHeight)
{
    for (int shrink = 0;; ++shrink) {
        auto lines = wrapText(text, width, [&](std::string_view piece) { return measure(piece, shrink); });
        const int line = lineHeight(shrink);
        if (int(lines.size()) * line <= height || shrink == kMostShrink)
            return {std::move(lines), shrink, line};
    }
}
