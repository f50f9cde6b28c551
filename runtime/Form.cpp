#include "Form.h"

#include "Backend.h"
#include "Error.h"

#include <algorithm>
#include <string>

namespace runtime {

std::vector<std::size_t> tabOrder(std::span<const Control> controls)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i].kind == Kind::Button || controls[i].kind == Kind::Label)
            order.push_back(i);
    std::ranges::stable_sort(order, {}, [&](std::size_t i) { return controls[i].tabIndex; });
    return order;
}

std::vector<MenuEntry> menuTree(std::span<const MenuItem> menu)
{
    std::vector<MenuEntry> tree;
    for (std::size_t i = 0; i < menu.size(); ++i) {
        if (menu[i].level == 0)
            tree.push_back({i, {}});
        else if (menu[i].level == 1 && !tree.empty())
            tree.back().items.push_back(i);
        else
            throw Error(std::string("menu item '") + menu[i].name + "' " +
                        (menu[i].level == 1 ? "has no menu bar entry above it" : "has a level other than 0 or 1"));
    }
    return tree;
}

namespace {

int loadedForms = 0;

std::vector<std::unique_ptr<backend::Window>>& closedWindows()
{
    static std::vector<std::unique_ptr<backend::Window>> windows;
    return windows;
}

} // namespace

void Form::destroyClosedWindows()
{
    closedWindows().clear();
}

Form::Form(const Layout& layout) : layout_(layout) {}

bool Form::anyLoaded()
{
    return loadedForms > 0;
}

Form::~Form() = default;

void Form::Load()
{
    if (window_)
        return;
    menuTree(layout_.menu); // a table no back end can show is refused here
    window_ = backend::createWindow(*this);
    ++loadedForms;
    Form_Load();
}

void Form::Show()
{
    Load();
    window_->show();
}

void Form::Unload()
{
    if (!window_)
        return;
    Form_Unload();
    // Unloading comes from one of the window's own events, so the window
    // only hides now, and goes once that event is over: no back end's
    // object is destroyed inside its own callback.
    window_->hide();
    closedWindows().push_back(std::move(window_));
    backend::afterEvent(destroyClosedWindows);
    if (--loadedForms == 0)
        backend::endLoop();
}

} // namespace runtime
