// The runtime's own services: layout units and the error boundary.

#include "runtime/Error.h"
#include "runtime/Form.h"
#include "runtime/TextWrap.h"
#include "runtime/Twips.h"

#include <QProcess>
#include <QtTest>

Q_DECLARE_METATYPE(std::vector<runtime::MenuItem>)

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
        QTest::newRow("rounds half up") << 7 << 96 << 0;
        QTest::newRow("rounds to nearest") << 8 << 96 << 1;
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

    void menuTree_data()
    {
        using runtime::MenuItem;
        QTest::addColumn<std::vector<MenuItem>>("menu");
        QTest::addColumn<QString>("tree"); // entry(items) ..., or the error
        QTest::newRow("a drop-down and a bar command")
            << std::vector<MenuItem>{{"a", "A", 0}, {"b", "B", 1}, {"c", "C", 1}, {"d", "D", 0}} << "0(1 2) 3()";
        QTest::newRow("an item with no bar entry above it")
            << std::vector<MenuItem>{{"b", "B", 1}, {"a", "A", 0}} << "menu item 'b' has no menu bar entry above it";
        QTest::newRow("a third level") << std::vector<MenuItem>{{"a", "A", 0}, {"b", "B", 2}}
                                       << "menu item 'b' has a level other than 0 or 1";
    }

    void menuTree()
    {
        QFETCH(std::vector<runtime::MenuItem>, menu);
        QFETCH(QString, tree);
        QString shown;
        try {
            for (const runtime::MenuEntry& entry : runtime::menuTree(menu)) {
                QStringList items;
                for (std::size_t index : entry.items)
                    items << QString::number(index);
                shown += QString("%1%2(%3)").arg(shown.isEmpty() ? "" : " ").arg(entry.index).arg(items.join(' '));
            }
        } catch (const runtime::Error& error) {
            shown = error.what();
        }
        QCOMPARE(shown, tree);
    }

    void failingHandlerShowsOneBoxAndEnds()
    {
        QProcess helper;
        helper.start(QCoreApplication::applicationDirPath() + "/boundary_helper", {"-platform", "offscreen"});
        QVERIFY(helper.waitForFinished(30000));
        const QString out = QString::fromUtf8(helper.readAllStandardOutput());
        const QString err = QString::fromUtf8(helper.readAllStandardError());

        QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
        QVERIFY(helper.exitCode() != 0);
        QCOMPARE(out.count("box: "), 1);
        QVERIFY2(out.contains("box: Project1 | Run-time error:  cannot load 'IO.DLL': IO.DLL: no such library"),
                 qPrintable(out));
        QVERIFY(!out.contains("survived"));
        QVERIFY2(err.contains("run-time error: cannot load 'IO.DLL'"), qPrintable(err));
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
