#include "Form.h"

#include "Backend.h"

#include <algorithm>

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

bool opensDropDown(std::span<const MenuItem> menu, std::size_t index)
{
    return menu[index].level == 0 && index + 1 < menu.size() && menu[index + 1].level > 0;
}

namespace {
int loadedForms = 0;
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
    window_.reset();
    if (--loadedForms == 0)
        backend::endLoop();
}

} // namespace runtime
