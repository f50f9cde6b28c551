#include "Form.h"

#include "Backend.h"

namespace runtime {

Form::Form(const Layout& layout) : layout_(layout) {}

Form::~Form() = default;

void Form::Load()
{
    if (window_)
        return;
    window_ = backend::createWindow(*this);
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
}

} // namespace runtime
