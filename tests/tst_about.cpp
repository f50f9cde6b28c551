// The About window, opened from the main window as a user opens it.

#include "TestSupport.h"

#include "forms/Form1.h"
#include "forms/frmAbout.h"
#include "program.h"
#include "runtime/Runtime.h"

#include <QAccessible>
#include <QLabel>
#include <QtTest>

class AboutTest : public QObject {
    Q_OBJECT

    Form1 main;
    IoRecord io;

    static QList<QWidget*> visible(const QString& name)
    {
        QList<QWidget*> found;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == name && widget->isVisible())
                found << widget;
        return found;
    }

    static QWidget* about()
    {
        const auto windows = visible("frmAbout");
        return windows.size() == 1 ? windows.front() : nullptr;
    }

    void open() { visible("Form1").front()->findChild<QAction*>("mnuOAutoru")->trigger(); }

private slots:
    void initTestCase()
    {
        qputenv("IO_DRIVER_ANSWER", "1");
        static Form1* form = &main;
        runtime::startProject(
            {.title = "Project1", .startupForm = []() -> runtime::Form& { return *form; }, .name = VENTROLIK_NAME});
    }

    void init()
    {
        open();
        QVERIFY(about());
        QVERIFY(QTest::qWaitForWindowActive(about()));
    }

    void cleanup()
    {
        runtime::vbaNew2<frmAbout>().Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(visible("frmAbout").isEmpty());
        QCOMPARE(visible("Form1").size(), 1);
    }

    void frame()
    {
        QWidget* window = about();
        QCOMPARE(window->windowTitle(), "O Autoru");
        QCOMPARE(window->geometry(), QRect(156, 129, 382, 149));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(window->windowIcon().isNull());
        QVERIFY(!window->parentWidget());
    }

    // What a screen reader is told, for what the bus test can't tell apart.
    void accessibility_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control"); // empty: the window itself
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::newRow("main window") << "Form1"
                                     << "" << int(QAccessible::Window) << "Ventrolik";
        QTest::newRow("About window") << "frmAbout"
                                      << "" << int(QAccessible::Dialog) << "O Autoru";
        QTest::newRow("picture") << "frmAbout"
                                 << "picIcon" << int(QAccessible::Graphic) << "Ventrolik";
        QTest::newRow("title without its run of blanks")
            << "frmAbout"
            << "lblTitle" << int(QAccessible::StaticText) << "Kestrova Ventrolik, Autor: Tamrelo";
    }

    void accessibility()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QWidget* top = visible(window).front();
        QObject* object = control.isEmpty() ? top : top->findChild<QWidget*>(control);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
        QVERIFY(accessible);
        QCOMPARE(int(accessible->role()), role);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color"); // invalid: the platform's own
        QTest::newRow("picIcon") << "picIcon" << QRect(16, 16, 32, 32) << "" << QColor();
        QTest::newRow("cmdOK") << "cmdOK" << QRect(288, 120, 84, 23) << "OK" << QColor();
        QTest::newRow("Label1") << "Label1" << QRect(72, 56, 113, 17) << "tamrelo@example.org" << QColor(0, 0, 255);
        QTest::newRow("lblTitle") << "lblTitle" << QRect(70, 8, 259, 40)
                                  << "Kestrova Ventrolik" + QString(134, ' ') + "Autor: Tamrelo" << QColor(0, 0, 0);
        QTest::newRow("lblVersion") << "lblVersion" << QRect(70, 80, 259, 15) << "Verzija: " VENTROLIK_VERSION
                                    << QColor();
        QTest::newRow("lblDisclaimer")
            << "lblDisclaimer" << QRect(16, 112, 258, 31)
            << "Upozorenje: Autor programa ne odgovara za eventualnu stetu nastalu koriscenjem ovog programa"
            << QColor(0, 0, 0);
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(QColor, color);
        auto* control = about()->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            if (name == "picIcon") {
                QCOMPARE(label->pixmap().size(), QSize(32, 32));
            } else {
                QCOMPARE(label->text(), text);
                QCOMPARE(label->focusPolicy(), Qt::NoFocus);
                if (color.isValid())
                    QCOMPARE(label->palette().color(QPalette::WindowText), color);
            }
        } else {
            QCOMPARE(qobject_cast<QPushButton*>(control)->text(), text);
        }
    }

    void separator()
    {
        // The white line lies over the grey one, which shows past its end.
        const QImage client = about()->findChild<QWidget*>("client")->grab().toImage();
        QCOMPARE(client.pixelColor(7, 104), QColor(Qt::white));
        QCOMPARE(client.pixelColor(200, 104), QColor(Qt::white));
        QCOMPARE(client.pixelColor(378, 104), QColor(128, 128, 128));
        QVERIFY(client.pixelColor(200, 100) != QColor(Qt::white));
        QVERIFY(client.pixelColor(200, 107) != QColor(Qt::white));
    }

    void focusStartsOnOK()
    {
        QCOMPARE(QApplication::focusWidget(), about()->findChild<QWidget*>("cmdOK"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), about()->findChild<QWidget*>("cmdOK"));
    }

    void closes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << "OK";
        QTest::newRow("Enter") << "Enter";
        QTest::newRow("Esc") << "Esc";
        QTest::newRow("close box") << "close box";
    }

    void closes()
    {
        QFETCH(QString, how);
        QWidget* window = about();
        if (how == "OK")
            window->findChild<QPushButton*>("cmdOK")->click();
        else if (how == "Enter")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else if (how == "Esc")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            window->close();
        QVERIFY(visible("frmAbout").isEmpty());
        QVERIFY(!runtime::vbaNew2<frmAbout>().isLoaded());

        // It comes back as it was.
        open();
        QVERIFY(about());
        QCOMPARE(about()->geometry(), QRect(156, 129, 382, 149));
        QCOMPARE(about()->findChild<QLabel*>("lblVersion")->text(), "Verzija: " VENTROLIK_VERSION);
        QCOMPARE(about()->findChild<QLabel*>("Label1")->text(), "tamrelo@example.org");
    }

    void staysSingle()
    {
        QWidget* first = about();
        open();
        open();
        QCOMPARE(visible("frmAbout").size(), 1);
        QCOMPARE(about(), first);
    }

    void mainWindowKeepsWorking()
    {
        io.take();
        QWidget* mainWindow = visible("Form1").front();
        mainWindow->findChild<QPushButton*>("Command1")->click();
        mainWindow->findChild<QAction*>("mnuIskljuci")->trigger();
        QTest::mouseClick(about()->findChild<QWidget*>("Label1"), Qt::LeftButton);
        QCOMPARE(io.take(), (QStringList{"PortWordOut 888 1", "PortOut 888 0"}));
        QVERIFY(about());
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
