#include "WindowView.h"

#include "Error.h"
#include "Runtime.h"
#include "TextWrap.h"

#include <algorithm>
#include <string>

namespace runtime {

namespace {

// Whether the control is made in the order of its tab index: buttons and
// labels are, though only buttons take the focus.
bool madeInTabOrder(Kind kind)
{
    return kind == Kind::Button || kind == Kind::Label;
}

// What a screen reader says: a label's text as it reads, a button's
// caption, and for a picture, which is the program icon, the program's name.
std::string spoken(const Control& control)
{
    switch (control.kind) {
    case Kind::Label:
        return spokenText(control.caption);
    case Kind::Picture:
        return project().name;
    default:
        return control.caption;
    }
}

// Buttons and labels by tab index, then pictures and lines in stored order.
std::vector<std::size_t> creationOrder(std::span<const Control> controls)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (madeInTabOrder(controls[i].kind))
            order.push_back(i);
    std::ranges::stable_sort(order, {}, [&](std::size_t i) { return controls[i].tabIndex; });
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (!madeInTabOrder(controls[i].kind))
            order.push_back(i);
    return order;
}

std::vector<MenuView> menuTree(std::span<const MenuItem> menu)
{
    std::vector<MenuView> tree;
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const MenuView view{i, menu[i].name, menu[i].caption, {}};
        if (menu[i].level == 0)
            tree.push_back(view);
        else if (menu[i].level == 1 && !tree.empty())
            tree.back().items.push_back(view);
        else
            throw Error(std::string("menu item '") + menu[i].name + "' " +
                        (menu[i].level == 1 ? "has no menu bar entry above it" : "has a level other than 0 or 1"));
    }
    return tree;
}

// The one button of the window that `is` picks out, if any.
std::optional<std::size_t> onlyButton(const std::vector<ControlView>& controls, std::span<const Control> table,
                                      bool Style::*is, const char* what)
{
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& control = table[controls[i].control];
        if (control.kind != Kind::Button || !(control.style.*is))
            continue;
        if (found)
            throw Error(std::string("buttons '") + controls[*found].name + "' and '" + control.name +
                        "' are both the " + what + " button");
        found = i;
    }
    return found;
}

} // namespace

std::optional<PixelPoint> WindowView::framePosition(FrameInsets insets) const
{
    if (!clientPosition)
        return std::nullopt;
    return PixelPoint{clientPosition->x - insets.left, clientPosition->y - insets.top};
}

WindowView resolve(const Layout& layout, int dpi)
{
    auto px = [dpi](Twips twips) { return twipsToPixels(twips, dpi); };
    const Frame& frame = layout.frame;
    const bool dialog = frame.border == Border::FixedDialog;
    WindowView view{
        .name = frame.name,
        .caption = frame.caption,
        .dpi = dpi,
        // The size is fixed: no thick frame and no maximize box.
        .border = {.dialog = dialog, .icon = !dialog, .minimizeBox = !dialog, .maximizeBox = false, .resizable = false},
        .clientWidth = px(frame.clientWidth),
        .clientHeight = px(frame.clientHeight),
        .clientPosition = std::nullopt,
        .controls = {},
        .firstFocus = std::nullopt,
        .defaultButton = std::nullopt,
        .cancelButton = std::nullopt,
        .menu = menuTree(layout.menu),
    };
    if (frame.position)
        view.clientPosition = PixelPoint{px(frame.position->x), px(frame.position->y)};

    for (std::size_t i : creationOrder(layout.controls)) {
        const Control& control = layout.controls[i];
        ControlView& shown = view.controls.emplace_back(ControlView{
            .control = i,
            .name = control.name,
            .kind = control.kind,
            .caption = control.caption,
            .spoken = spoken(control),
            .box = {},
            .line = {},
            .color = control.style.color,
            .lineWidth = control.style.lineWidth,
            .tabStop = control.kind == Kind::Button,
        });
        if (control.kind == Kind::Line)
            shown.line = {{px(control.left), px(control.top)}, {px(control.width), px(control.height)}};
        else
            shown.box = {px(control.left), px(control.top), px(control.width), px(control.height)};
        if (control.kind == Kind::Line && !shown.color)
            shown.color = Rgb{0, 0, 0};
        if (shown.tabStop && !view.firstFocus)
            view.firstFocus = view.controls.size() - 1;
    }
    view.defaultButton = onlyButton(view.controls, layout.controls, &Style::isDefault, "default");
    view.cancelButton = onlyButton(view.controls, layout.controls, &Style::isCancel, "cancel");
    return view;
}

} // namespace runtime
