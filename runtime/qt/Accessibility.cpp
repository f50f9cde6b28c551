// Form windows as assistive technology sees them.

#include "FormWidget.h"

#include <QAccessibleWidget>

namespace runtime::backend {

namespace {

// A plain top-level QWidget tells assistive technology that it is a generic
// container, so screen readers would not announce it as a window when it
// opens, nor read a dialog's text.
QAccessibleInterface* formAccessibility(const QString&, QObject* object)
{
    auto* window = dynamic_cast<FormWidget*>(object);
    if (!window)
        return nullptr;
    return new QAccessibleWidget(window, window->isDialog() ? QAccessible::Dialog : QAccessible::Window);
}

} // namespace

void installAccessibility()
{
    static const bool installed = (QAccessible::installFactory(formAccessibility), true);
    (void)installed;
}

} // namespace runtime::backend
