// The runtime's own services: layout units and the error boundary.

#include "runtime/Twips.h"

#include <QProcess>
#include <QtTest>

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
        QTest::newRow("an inch at 120 dpi") << 1440 << 120 << 120;
        QTest::newRow("rounds half up") << 7 << 96 << 0;
        QTest::newRow("rounds to nearest") << 8 << 96 << 1;
        QTest::newRow("zero") << 0 << 144 << 0;
    }

    void twipsToPixels()
    {
        QFETCH(int, twips);
        QFETCH(int, dpi);
        QFETCH(int, pixels);
        QCOMPARE(runtime::twipsToPixels(twips, dpi), pixels);
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
};

QTEST_GUILESS_MAIN(RuntimeTest)
#include "tst_runtime.moc"
