// A program whose start-up form fails to load. It answers the runtime's
// error box and prints what the box said; the runtime must then end the
// process.

#include "TestSupport.h"

#include "runtime/Error.h"
#include "runtime/Runtime.h"

#include <cstdio>

namespace {

constexpr runtime::Layout kLayout{.frame = {.name = "Failing",
                                            .caption = "Failing",
                                            .border = runtime::Border::FixedSingle,
                                            .clientWidth = 1440,
                                            .clientHeight = 1440},
                                  .controls = {}};

class Failing : public runtime::Form {
public:
    Failing() : Form(kLayout) {}

protected:
    void Form_Load() override { throw runtime::Error("cannot load 'IO.DLL': IO.DLL: no such library"); }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    BoxAnswerer answerer([](QMessageBox& box) {
        std::printf("box: %s | %s\n", qPrintable(box.windowTitle()), qPrintable(box.text().replace('\n', ' ')));
        std::fflush(stdout);
    });

    QTimer::singleShot(0, [] {
        runtime::startProject({.title = "Project1", .startupForm = runtime::instanceOf<Failing>});
        std::printf("survived\n");
        QApplication::exit(0);
    });
    return QApplication::exec();
}
