#pragma once

#include <QApplication>
#include <QFont>

namespace runtime::backend {

// The forms' twips layouts were drawn for a small, narrow 8-point GUI font.
// A desktop's usual 10-point font is too wide for them: labels would lose
// their last lines. So every window of the program uses an 8-point narrow
// sans serif where the system has one, whatever the desktop's font is.
inline void useGuiFont()
{
    static const bool done = [] {
        QFont font = QApplication::font();
        font.setFamilies({QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")});
        font.setPointSize(8);
        QApplication::setFont(font);
        return true;
    }();
    (void)done;
}

} // namespace runtime::backend
