// The runtime's own services: layout units and the error boundary.

#include "forms/Form1.h"
#include "forms/frmAbout.h"
#include "runtime/Error.h"
#include "runtime/Form.h"
#include "runtime/TextWrap.h"
#include "runtime/Twips.h"

#include <QProcess>
#include <QtTest>

#include <map>

namespace {

QString describe(const runtime::WindowView& view)
{
    QString text = QString("%1 %2x%3").arg(view.name).arg(view.clientWidth).arg(view.clientHeight);
    if (view.clientPosition)
        text += QString(" at %1,%2").arg(view.clientPosition->x).arg(view.clientPosition->y);
    text += view.border.dialog ? " dialog" : "";
    text += view.border.minimizeBox ? " minimize" : "";
    text += view.border.maximizeBox || view.border.resizable ? " sizable" : "";
    QStringList controls;
    for (const runtime::ControlView& control : view.controls)
        controls << (control.kind == runtime::Kind::Line
                         ? QString("%1 %2,%3-%4,%5")
                               .arg(control.name)
                               .arg(control.line.from.x)
                               .arg(control.line.from.y)
                               .arg(control.line.to.x)
                               .arg(control.line.to.y)
                         : QString("%1 %2,%3 %4x%5%6")
                               .arg(control.name)
                               .arg(control.box.x)
                               .arg(control.box.y)
                               .arg(control.box.width)
                               .arg(control.box.height)
                               .arg(control.tabStop ? "*" : ""));
    text += " | " + controls.join(", ") + " |";
    auto named = [&](const char* what, std::optional<std::size_t> index) {
        return index ? QString(" %1 %2").arg(what, view.controls[*index].name) : QString();
    };
    text += named("focus", view.firstFocus) + named("default", view.defaultButton) +
            named("cancel", view.cancelButton) + " | menu";
    std::function<QString(const runtime::MenuView&)> entry = [&](const runtime::MenuView& item) {
        QStringList items;
        for (const runtime::MenuView& sub : item.items)
            items << entry(sub);
        return item.name + (items.isEmpty() ? QString() : "(" + items.join(' ') + ")");
    };
    for (const runtime::MenuView& item : view.menu)
        text += " " + entry(item);
    return text;
}

} // namespace

class RuntimeTest : public QObject {
    Q_OBJECT

private slots:
    void twipsToPixels_data()
    {
        QTest::addColumn<int>("twips");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("main window width at 96 dpi") << 2910 << 96 << 194;
        QTest::newRow("main window width at 144 dpi") << 2910 << 144 << 291;
        QTest::newRow("rounds half up") << 5 << 144 << 1; // half a pixel exactly
        QTest::newRow("rounds just below half down") << 7 << 96 << 0;
        QTest::newRow("rounds just above half up") << 8 << 96 << 1;
    }

    void twipsToPixels()
    {
        QFETCH(int, twips);
        QFETCH(int, dpi);
        QFETCH(int, pixels);
        QCOMPARE(runtime::twipsToPixels(twips, dpi), pixels);
    }

    void wrapText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width"); // in characters
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("fits") << "Verzija: 2.5" << 20 << QStringList{"Verzija: 2.5"};
        QTest::newRow("breaks at the last blank that fits")
            << "Autor programa ne odgovara" << 16 << QStringList{"Autor programa", "ne odgovara"};
        QTest::newRow("a run of blanks goes with the break")
            << "Kestrova Ventrolik" + QString(134, ' ') + "Autor: Tamrelo" << 30
            << QStringList{"Kestrova Ventrolik", "Autor: Tamrelo"};
        QTest::newRow("blanks inside a line stay") << "a   b" << 10 << QStringList{"a   b"};
        QTest::newRow("a word wider than the line")
            << "x tamrelo@example.org y" << 8 << QStringList{"x", "tamrelo@example.org", "y"};
        QTest::newRow("leading blanks stay") << "  a b" << 3 << QStringList{"  a", "b"};
        QTest::newRow("empty") << "" << 10 << QStringList{""};
    }

    void wrapText()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QStringList, lines);
        const std::string utf8 = text.toStdString();
        QStringList wrapped;
        for (std::string_view line :
             runtime::wrapText(utf8, width, [](std::string_view piece) { return int(piece.size()); }))
            wrapped << QString::fromUtf8(line.data(), line.size());
        QCOMPARE(wrapped, lines);
    }

    void spokenText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("a run of blanks that lays out two lines")
            << "Kestrova Ventrolik" + QString(134, ' ') + "Autor: Tamrelo"
            << "Kestrova Ventrolik, Autor: Tamrelo";
        QTest::newRow("single blanks stay") << "Verzija: 2.5"
                                            << "Verzija: 2.5";
        QTest::newRow("blanks at the ends go") << "  a b  "
                                               << "a b";
        QTest::newRow("only blanks") << "   "
                                     << "";
    }

    void spokenText()
    {
        QFETCH(QString, text);
        QFETCH(QString, spoken);
        QCOMPARE(QString::fromStdString(runtime::spokenText(text.toStdString())), spoken);
    }

    // The forms' own tables and some that no back end could show, each as
    // the resolver describes it: the frame; each control with its box, "*"
    // for a tab stop; the first focus, default and cancel; the menu tree.
    void resolve_data()
    {
        using runtime::Control, runtime::Kind, runtime::MenuItem;
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QString>("description"); // or the error
        QTest::newRow("main window") << "Form1" << 96
                                     << "Form1 194x52 minimize | Command1 8,8 81x33*, Command2 104,8 81x33* | "
                                        "focus Command1 | menu mnuAkcija(mnuUkljuci mnuIskljuci) mnuOAutoru";
        QTest::newRow("main window at 144 dpi")
            << "Form1" << 144
            << "Form1 291x78 minimize | Command1 12,12 122x50*, Command2 156,12 122x50* | "
               "focus Command1 | menu mnuAkcija(mnuUkljuci mnuIskljuci) mnuOAutoru";
        QTest::newRow("About window")
            << "frmAbout" << 96
            << "frmAbout 382x149 at 156,129 dialog | cmdOK 288,120 84x23*, lblDisclaimer 16,112 258x31, "
               "lblTitle 70,8 259x40, lblVersion 70,80 259x15, Label1 72,56 113x17, picIcon 16,16 32x32, "
               "Line1 8,104-379,104, Line1 7,104-377,104 | focus cmdOK default cmdOK cancel cmdOK | menu";
        QTest::newRow("About window at 144 dpi")
            << "frmAbout" << 144
            << "frmAbout 573x224 at 234,194 dialog | cmdOK 432,180 126x35*, lblDisclaimer 24,168 387x47, "
               "lblTitle 105,12 389x60, lblVersion 105,120 389x23, Label1 108,84 170x26, picIcon 24,24 48x48, "
               "Line1 12,156-568,156, Line1 11,156-565,156 | focus cmdOK default cmdOK cancel cmdOK | menu";
        QTest::newRow("an item with no bar entry above it")
            << "orphan item" << 96 << "menu item 'b' has no menu bar entry above it";
        QTest::newRow("a third level") << "third level" << 96 << "menu item 'b' has a level other than 0 or 1";
        QTest::newRow("two default buttons")
            << "two defaults" << 96 << "buttons 'a' and 'b' are both the default button";
    }

    void resolve()
    {
        QFETCH(QString, table);
        QFETCH(int, dpi);
        QFETCH(QString, description);
        using runtime::Control, runtime::Kind, runtime::MenuItem, runtime::Style;
        static const Control twoDefaults[] = {{"a", Kind::Button, "A", 0, 0, 1, 1, 0, Style{.isDefault = true}},
                                              {"b", Kind::Button, "B", 0, 0, 1, 1, 1, Style{.isDefault = true}}};
        static const MenuItem orphan[] = {{"b", "B", 1}, {"a", "A", 0}};
        static const MenuItem third[] = {{"a", "A", 0}, {"b", "B", 2}};
        const runtime::Frame frame{"f", "F", runtime::Border::FixedSingle, 15, 15};
        Form1 main;
        frmAbout about;
        const std::map<QString, runtime::Layout> tables{
            {"Form1", main.layout()},
            {"frmAbout", about.layout()},
            {"two defaults", {frame, twoDefaults}},
            {"orphan item", {frame, {}, orphan}},
            {"third level", {frame, {}, third}},
        };
        QString shown;
        try {
            shown = describe(runtime::resolve(tables.at(table), dpi));
        } catch (const runtime::Error& error) {
            shown = error.what();
        }
        QCOMPARE(shown, description);
    }

    void failingHandlerShowsOneBoxAndEnds_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("error");
        QTest::newRow("Form_Load throws") << ""
                                          << "cannot load 'IO.DLL': IO.DLL: no such library";
        QTest::newRow("a menu table no back end can show") << "bad-menu"
                                                           << "menu item 'mnuOrphan' has no menu bar entry above it";
    }

    void failingHandlerShowsOneBoxAndEnds()
    {
        QFETCH(QString, mode);
        QFETCH(QString, error);
        QProcess helper;
        helper.start(QCoreApplication::applicationDirPath() + "/boundary_helper",
                     QStringList{"-platform", "offscreen"} << (mode.isEmpty() ? QStringList() : QStringList{mode}));
        QVERIFY(helper.waitForFinished(30000));
        const QString out = QString::fromUtf8(helper.readAllStandardOutput());
        const QString err = QString::fromUtf8(helper.readAllStandardError());

        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QVERIFY(helper.exitCode() != 0);
        QCOMPARE(out.count("box: "), 1);
        QVERIFY2(out.contains("box: Project1 | Run-time error:  " + error), qPrintable(out));
        QVERIFY(!out.contains("survived"));
        QVERIFY2(err.contains("run-time error: " + error), qPrintable(err));
    }

    void programEndsWithItsLastForm()
    {
        QProcess helper;
        helper.setEnvironment(QProcess::systemEnvironment() << "QT_QPA_PLATFORM=offscreen");
        helper.start(QCoreApplication::applicationDirPath() + "/boundary_helper", {"last-window"});
        const bool ended = helper.waitForFinished(10000);
        helper.kill();
        helper.waitForFinished();
        QVERIFY2(ended, "the program went on with no window");
        QCOMPARE(helper.readAllStandardOutput(), "ended with 0\n");
    }
};

QTEST_GUILESS_MAIN(RuntimeTest)
#include "tst_runtime.moc"
