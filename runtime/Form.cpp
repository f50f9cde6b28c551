#include "Form.h"

#include "Backend.h"

namespace runtime {

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
    window_ = backend::createWindow(*this);
    ++loadedForms;
    Form_Load();
}

WindowView Form::view(int dpi) const
{
    return resolve(layout_, dpi); // a table that no back end can show is refused here
}

void Form::report(Event event)
{
    runHandler([this, event] {
        Handler handler = nullptr;
        switch (event.what) {
        case Event::Clicked:
            if (event.index < layout_.controls.size())
                handler = layout_.controls[event.index].click;
            break;
        case Event::MenuChosen:
            if (event.index < layout_.menu.size())
                handler = layout_.menu[event.index].click;
            break;
        case Event::CloseAsked:
            Unload();
            return;
        }
        if (handler)
            handler(*this);
    });
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
