#pragma once

#include "Layout.h"
#include "WindowView.h"

#include <memory>

namespace runtime {

struct Project;

namespace backend {
class Window;
}

// A window of the program: its stored layout plus its event handlers, which
// derived classes define. The runtime builds the real window from the layout
// when the form loads, and throws it away when the form unloads. The window
// reports the user's actions to the form, which runs the handlers.
class Form : private WindowModel {
public:
    explicit Form(const Layout& layout);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const Layout& layout() const { return layout_; }
    bool isLoaded() const { return window_ != nullptr; }

    // Builds the window (hidden) from the layout, then runs Form_Load.
    void Load();
    // Loads the form if it isn't loaded, then shows it without making it
    // modal; an open window comes to the front.
    void Show();
    // Runs Form_Unload, then closes the window. The next Show builds it anew.
    void Unload();

protected:
    // The start-up, which alone needs to know when the program's windows end.
    friend int ThunRTMain(const Project& project);

    // Whether any form of the program is loaded. The program ends when the
    // last one unloads.
    static bool anyLoaded();
    // Destroys the windows of forms that have unloaded. The runtime does it
    // once the event that unloaded them is over, and at the end of the loop.
    static void destroyClosedWindows();

    virtual void Form_Load() {}
    virtual void Form_Unload() {}

private:
    WindowView view(int dpi) const override;
    void report(Event event) override;

    const Layout& layout_;
    std::unique_ptr<backend::Window> window_;
};

} // namespace runtime
