// Start-up, the event loop and message boxes on Qt Widgets.

#include "../Backend.h"
#include "GuiFont.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <string>

namespace runtime {

namespace backend {

int withToolkit(const Project& project, const std::function<int()>& body)
{
    // The command line is the program's own (app/CommandLine.h), so Qt is
    // given none of it.
    static int argc = 1;
    static std::string name = project.command;
    static char* argv[] = {name.data(), nullptr};
    QApplication application(argc, argv);
    // Wayland compositors find the program's name and icon through this.
    QGuiApplication::setDesktopFileName(QString::fromUtf8(project.appId));
    return body();
}

int runLoop()
{
    return QApplication::exec();
}

bool attachConsole(std::FILE*)
{
    return true; // a POSIX process always has its standard streams
}

void afterEvent(void (*task)())
{
    QTimer::singleShot(0, task);
}

void endLoop()
{
    QCoreApplication::exit(0);
}

MsgBoxResult messageBox(std::string_view prompt, MsgBoxStyle style, std::string_view title)
{
    useGuiFont();
    QMessageBox box(style == vbCritical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromUtf8(title.data(), qsizetype(title.size())),
                    QString::fromUtf8(prompt.data(), qsizetype(prompt.size())), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return vbOK;
}

} // namespace backend

} // namespace runtime
