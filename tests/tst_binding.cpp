// Binding library functions by name, against the recording IO.DLL that sits
// beside this test.

#include "runtime/DllFunction.h"
#include "runtime/Error.h"

#include "iodll/IO.h"

#include <QtTest>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>

namespace {

int binds = 0;

void* countingBinder(const char* library, const char* name)
{
    ++binds;
    return runtime::DllFunctionCall(library, name);
}

QString errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const runtime::Error& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

} // namespace

class BindingTest : public QObject {
    Q_OBJECT

private slots:
    // Runs first, while nothing has loaded IO.DLL yet.
    void bindsAtFirstCallOnly()
    {
        const QByteArray beside = QCoreApplication::applicationDirPath().toUtf8() + "/IO.DLL";
        auto loaded = [&] {
            void* handle = dlopen(beside.constData(), RTLD_NOW | RTLD_NOLOAD);
            if (handle)
                dlclose(handle);
            return handle != nullptr;
        };

        runtime::DllFunction<decltype(::IsDriverInstalled)> isDriverInstalled{"IO.DLL", "IsDriverInstalled",
                                                                              countingBinder};
        runtime::DllFunction<decltype(::PortOut)> portOut{"IO.DLL", "PortOut", countingBinder};
        QVERIFY(!loaded());
        QCOMPARE(binds, 0);

        qputenv("IO_DRIVER_ANSWER", "7");
        QCOMPARE(isDriverInstalled(), 7);
        QVERIFY(loaded());
        QCOMPARE(binds, 1);
        isDriverInstalled();
        isDriverInstalled();
        QCOMPARE(binds, 1);
        portOut(888, 0);
        portOut(888, 0);
        QCOMPARE(binds, 2);
    }

    void missingLibraryNamesItAndTheReason()
    {
        runtime::DllFunction<decltype(::IsDriverInstalled)> function{"MISSING.DLL", "IsDriverInstalled"};
        const QString error = errorOf([&] { function(); });
        QVERIFY2(error.startsWith("cannot load 'MISSING.DLL': "), qPrintable(error));
        QVERIFY2(error.contains("no such file beside the program"), qPrintable(error));
    }

    void missingExportNamesIt()
    {
        runtime::DllFunction<decltype(::IsDriverInstalled)> function{"IO.DLL", "PortIn"};
        const QString error = errorOf([&] { function(); });
        QVERIFY2(error.startsWith("cannot find 'PortIn' in 'IO.DLL': "), qPrintable(error));
        QVERIFY2(error.contains("undefined symbol: PortIn"), qPrintable(error));
    }

    // A library with nothing the loader doesn't map, as one stripped of its
    // section headers is: its last segment ends where the file does.
    void loadsALibraryThatEndsWithItsLastSegment()
    {
        QFile original(QCoreApplication::applicationDirPath() + "/IO.DLL");
        QVERIFY(original.open(QIODevice::ReadOnly));
        QByteArray bytes = original.readAll();
        auto* header = reinterpret_cast<ElfW(Ehdr)*>(bytes.data());
        const auto* segments = reinterpret_cast<const ElfW(Phdr)*>(bytes.constData() + header->e_phoff);
        qsizetype end = 0;
        for (int i = 0; i < header->e_phnum; ++i)
            if (segments[i].p_type == PT_LOAD)
                end = std::max(end, qsizetype(segments[i].p_offset + segments[i].p_filesz));
        header->e_shoff = header->e_shnum = header->e_shstrndx = 0;
        bytes.truncate(end);
        QTemporaryDir dir;
        QFile trimmed(dir.filePath("TRIMMED.DLL"));
        QVERIFY(trimmed.open(QIODevice::WriteOnly) && trimmed.write(bytes) == end);
        trimmed.close();

        qputenv("LD_LIBRARY_PATH", dir.path().toUtf8());
        qputenv("IO_DRIVER_ANSWER", "5");
        runtime::DllFunction<decltype(::IsDriverInstalled)> function{"TRIMMED.DLL", "IsDriverInstalled"};
        int answer = 0;
        const QString error = errorOf([&] { answer = function(); });
        qunsetenv("LD_LIBRARY_PATH");
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(answer, 5);
    }

    void neverLoadsFromTheCurrentDirectory()
    {
        QTemporaryDir dir;
        const QString planted = dir.filePath("PLANTED.DLL");
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/IO.DLL", planted));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));

        QVERIFY(QDir().mkdir("lib") && QFile::copy(planted, "lib/PLANTED.DLL"));

        // Unset, and the entries that glibc's own search takes for the
        // current directory.
        for (const char* path : {"", ":", ".", "/nonexistent::/nonexistent", "lib"}) {
            qputenv("LD_LIBRARY_PATH", path);
            runtime::DllFunction<decltype(::IsDriverInstalled)> function{"PLANTED.DLL", "IsDriverInstalled"};
            const QString error = errorOf([&] { function(); });
            // The search's own refusal, not the loader's, which would have looked.
            QVERIFY2(error.startsWith("cannot load 'PLANTED.DLL': no such file beside the program"),
                     qPrintable(QString(path) + ": " + error));
        }
        qunsetenv("LD_LIBRARY_PATH");
        QDir::setCurrent(previous);
    }
};

QTEST_GUILESS_MAIN(BindingTest)
#include "tst_binding.moc"
