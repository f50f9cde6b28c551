#pragma once

// Helpers for the widget tests: reading what the recording IO.DLL saw, and
// answering modal message boxes from inside their exec().

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "runtime/WindowView.h"

#include <QScreen>
#include <QtTest>

#include <cstdlib>
#include <functional>

// Points the recording IO.DLL at a fresh file and reads its calls back.
class IoRecord {
public:
    IoRecord() { qputenv("IO_RECORD_FILE", path().toLocal8Bit()); }
    ~IoRecord() { qunsetenv("IO_RECORD_FILE"); }

    // The calls since the last take, one "Operation port value" each.
    QStringList take()
    {
        QFile file(path());
        QStringList calls;
        if (file.open(QIODevice::ReadOnly))
            calls = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        file.remove();
        return calls;
    }

private:
    QString path() const { return dir_.filePath("calls.txt"); }
    QTemporaryDir dir_;
};

struct SeenBox {
    int count = 0;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QAbstractButton*>::size_type buttons = 0;
};

// Answers every message box that opens while it lives with OK, after
// `inspect` has looked at it.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::function<void(QMessageBox&)> inspect = {}) : inspect_(std::move(inspect))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            ++seen.count;
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            seen.buttons = box->buttons().size();
            if (inspect_)
                inspect_(*box);
            box->button(QMessageBox::Ok)->click();
        });
        timer_.start(10);
    }

    SeenBox seen;

private:
    std::function<void(QMessageBox&)> inspect_;
    QTimer timer_;
};

// Checks that the back end drew the window where the runtime's description
// of the form puts it and its controls.
inline void drawnAsDescribed(QWidget* window, const runtime::Layout& layout)
{
    const runtime::WindowView view = runtime::resolve(layout, qRound(window->screen()->logicalDotsPerInch()));
    const QWidget* client = window->findChild<QWidget*>("client");
    QCOMPARE(client->size(), QSize(view.clientWidth, view.clientHeight));
    if (view.clientPosition)
        QCOMPARE(window->mapToGlobal(client->pos()), QPoint(view.clientPosition->x, view.clientPosition->y));
    for (const runtime::ControlView& control : view.controls) {
        if (control.kind == runtime::Kind::Line)
            continue; // drawn on the client area
        const QWidget* widget = window->findChild<QWidget*>(control.name);
        QVERIFY2(widget, control.name);
        QCOMPARE(widget->geometry(), QRect(control.box.x, control.box.y, control.box.width, control.box.height));
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, control.tabStop);
    }
}
