// The About window, opened from the main window as a user opens it.

#include "TestSupport.h"

#include "forms/Form1.h"
#include "forms/frmAbout.h"
#include "program.h"
#include "runtime/Runtime.h"
#include "runtime/qt/LabelText.h"

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
        runtime::startProject({.title = "Project1",
                               .startupForm = []() -> runtime::Form& { return *form; },
                               .name = VENTROLIK_NAME,
                               .iconResource = VENTROLIK_ICON_RESOURCE});
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
        drawnAsDescribed(window, runtime::vbaNew2<frmAbout>().layout());
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
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color"); // invalid: the platform's own
        QTest::newRow("picIcon") << "picIcon"
                                 << "" << QColor();
        QTest::newRow("cmdOK") << "cmdOK"
                               << "OK" << QColor();
        QTest::newRow("Label1") << "Label1"
                                << "tamrelo@example.org" << QColor(0, 0, 255);
        QTest::newRow("lblTitle") << "lblTitle"
                                  << "Kestrova Ventrolik" + QString(134, ' ') + "Autor: Tamrelo" << QColor(0, 0, 0);
        QTest::newRow("lblVersion") << "lblVersion"
                                    << "Verzija: " VENTROLIK_VERSION << QColor();
        QTest::newRow("lblDisclaimer")
            << "lblDisclaimer"
            << "Upozorenje: Autor programa ne odgovara za eventualnu stetu nastalu koriscenjem ovog programa"
            << QColor(0, 0, 0);
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QColor, color);
        auto* control = about()->findChild<QWidget*>(name);
        QVERIFY(control);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            if (name == "picIcon") {
                QCOMPARE(label->pixmap().size(), QSize(32, 32));
            } else {
                QCOMPARE(label->text(), text);
                if (color.isValid())
                    QCOMPARE(label->palette().color(QPalette::WindowText), color);
            }
        } else {
            QCOMPARE(qobject_cast<QPushButton*>(control)->text(), text);
        }
    }

    // Each label's text fits its box at both densities, in the windows'
    // font, by the rule that labels are drawn with.
    void labelsFit_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::newRow("96 dpi") << 96;
        QTest::newRow("144 dpi") << 144;
    }

    void labelsFit()
    {
        QFETCH(int, dpi);
        QImage page(1, 1, QImage::Format_RGB32);
        page.setDotsPerMeterX(qRound(dpi / 0.0254));
        page.setDotsPerMeterY(qRound(dpi / 0.0254));
        for (const runtime::Layout* layout : {&main.layout(), &runtime::vbaNew2<frmAbout>().layout()})
            for (const runtime::ControlView& label : runtime::resolve(*layout, dpi).controls) {
                if (label.kind != runtime::Kind::Label)
                    continue;
                const QSize box(label.box.width, label.box.height);
                const auto text = runtime::backend::labelText(label.caption, box, QApplication::font(), &page);
                QVERIFY2(int(text.set.lines.size()) * text.set.lineHeight <= box.height(), label.name);
                for (std::string_view line : text.set.lines)
                    QVERIFY2(
                        QFontMetrics(text.font, &page).horizontalAdvance(QString::fromUtf8(line.data(), line.size())) <=
                            box.width(),
                        label.name);
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
        drawnAsDescribed(about(), runtime::vbaNew2<frmAbout>().layout());
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
