// The main window against the recording IO.DLL: start-up, switching, layout.

#include "TestSupport.h"

#include "forms/Form1.h"
#include "program.h"
#include "runtime/Runtime.h"

#include <QMenuBar>
#include <QtTest>

#include <memory>

namespace {

Form1* current = nullptr;

runtime::Form& currentForm()
{
    return *current;
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

    std::unique_ptr<Form1> form;
    std::unique_ptr<IoRecord> io;

    // Starts the program's main window as the runtime does at start-up.
    void start()
    {
        form = std::make_unique<Form1>();
        current = form.get();
        runtime::startProject(
            {.title = "Project1", .startupForm = currentForm, .iconResource = VENTROLIK_ICON_RESOURCE});
    }

    QWidget* window() const
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == "Form1" && widget->isVisible())
                return widget;
        return nullptr;
    }

    template <typename T>
    T* find(const char* name) const
    {
        T* child = window()->findChild<T*>(name);
        if (!child)
            qFatal("no control %s", name);
        return child;
    }

private slots:
    void init()
    {
        io = std::make_unique<IoRecord>();
        qputenv("IO_DRIVER_ANSWER", "1");
    }

    void cleanup()
    {
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        io.reset();
    }

    void startupWarning_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("warns");
        QTest::newRow("installed") << QByteArray("1") << false;
        QTest::newRow("not installed") << QByteArray("0") << true;
        QTest::newRow("bit 8, within the low 16") << QByteArray("0x100") << false;
        QTest::newRow("only high bits set") << QByteArray("0x10000") << true;
        QTest::newRow("high and low bits set") << QByteArray("0x10001") << false;
        QTest::newRow("negative") << QByteArray("-1") << false;
    }

    void startupWarning()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, warns);
        qputenv("IO_DRIVER_ANSWER", answer);

        bool windowShownDuringBox = true;
        BoxAnswerer answerer([&](QMessageBox&) { windowShownDuringBox = window() != nullptr; });
        start();

        QCOMPARE(answerer.seen.count, warns ? 1 : 0);
        if (warns) {
            QCOMPARE(answerer.seen.title, "Project1");
            QCOMPARE(answerer.seen.text, "IO.DLL ne postoji u \\windows\\system folderu");
            QCOMPARE(answerer.seen.icon, QMessageBox::NoIcon);
            QCOMPARE(answerer.seen.buttons, 1);
            QVERIFY(!windowShownDuringBox);
        }
        QVERIFY(window());
        QCOMPARE(form->LPTadresa, short(888));
        QCOMPARE(io->take(), QStringList{"IsDriverInstalled"});
    }

    void switching_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("writes");
        const QString on = "PortWordOut 888 1", off = "PortOut 888 0";
        QTest::newRow("button on") << QStringList{"Command1"} << QStringList{on};
        QTest::newRow("button off") << QStringList{"Command2"} << QStringList{off};
        QTest::newRow("menu on") << QStringList{"mnuUkljuci"} << QStringList{on};
        QTest::newRow("menu off") << QStringList{"mnuIskljuci"} << QStringList{off};
        QTest::newRow("on twice") << QStringList{"Command1", "mnuUkljuci"} << QStringList{on, on};
        QTest::newRow("off while off") << QStringList{"Command2", "Command2"} << QStringList{off, off};
        QTest::newRow("mixed") << QStringList{"Command1", "mnuIskljuci", "mnuUkljuci", "Command2", "Command1"}
                               << QStringList{on, off, on, off, on};
    }

    void switching()
    {
        QFETCH(QStringList, commands);
        QFETCH(QStringList, writes);
        start();
        io->take();

        for (const QString& command : commands) {
            const QByteArray name = command.toUtf8();
            if (command.startsWith("mnu"))
                find<QAction>(name)->trigger();
            else
                find<QPushButton>(name)->click();
        }
        QCOMPARE(io->take(), writes);
    }

    void switchingStillWorksWithoutDriver()
    {
        qputenv("IO_DRIVER_ANSWER", "0");
        BoxAnswerer answerer;
        start();
        io->take();
        find<QPushButton>("Command1")->click();
        find<QAction>("mnuIskljuci")->trigger();
        QCOMPARE(io->take(), (QStringList{"PortWordOut 888 1", "PortOut 888 0"}));
    }

    void focusAndKeys()
    {
        start();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        QCOMPARE(QApplication::focusWidget(), find<QPushButton>("Command1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find<QPushButton>("Command2"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find<QPushButton>("Command1"));

        // Neither button is a default or cancel button, and Esc and Enter
        // don't close the window.
        io->take();
        QTest::keyClick(window(), Qt::Key_Escape);
        QTest::keyClick(window(), Qt::Key_Return);
        QVERIFY(window());
        QCOMPARE(io->take(), QStringList());
    }

    void layout()
    {
        start();
        QWidget* w = window();
        QCOMPARE(w->windowTitle(), "Ventrolik");
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!w->windowIcon().isNull());

        drawnAsDescribed(w, form->layout());
        QCOMPARE(find<QPushButton>("Command1")->text(), "Ukljuci");
        QCOMPARE(find<QPushButton>("Command2")->text(), "Iskljuci");

        auto* bar = w->findChild<QMenuBar*>();
        QStringList entries;
        for (QAction* entry : bar->actions())
            entries << entry->text() + (entry->menu() ? "[" + entry->menu()->actions().constFirst()->text() + "," +
                                                            entry->menu()->actions().constLast()->text() + "]"
                                                      : "");
        QCOMPARE(entries, (QStringList{"Akcija[Ukljuci,Iskljuci]", "O Autoru"}));
        for (QAction* action : bar->findChildren<QAction*>())
            QVERIFY(action->shortcut().isEmpty());
    }
};

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
