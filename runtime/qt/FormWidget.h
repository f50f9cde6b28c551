#pragma once

#include <QWidget>

namespace runtime::backend {

// A form's top-level widget.
class FormWidget : public QWidget {
public:
    explicit FormWidget(bool dialog) : dialog_(dialog) {}
    // A dialog is announced as one; a form with a plain frame as a window.
    bool isDialog() const { return dialog_; }

private:
    bool dialog_;
};

// Makes assistive technology see form windows for what they are; once.
void installAccessibility();

} // namespace runtime::backend
