// Small programs on the runtime, run by tst_runtime:
//
//   boundary_helper               its start-up form fails to load; it answers
//                                 the runtime's error box and prints what the
//                                 box said, and the runtime must end it
//   boundary_helper bad-menu      the same, for a start-up form whose menu
//                                 table no back end can show
//   boundary_helper last-window   its one window is closed, as by the close
//                                 box; with no form left, the program ends

#include "TestSupport.h"

#include "runtime/Error.h"
#include "runtime/Runtime.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr runtime::Layout kLayout{.frame = {.name = "Failing",
                                            .caption = "Failing",
                                            .border = runtime::Border::FixedSingle,
                                            .clientWidth = 1440,
                                            .clientHeight = 1440},
                                  .controls = {}};

constexpr runtime::MenuItem kOrphanMenu[] = {{"mnuOrphan", "Orphan", 1}};
constexpr runtime::Layout kBadMenuLayout{.frame = kLayout.frame, .controls = {}, .menu = kOrphanMenu};

class BadMenu : public runtime::Form {
public:
    BadMenu() : Form(kBadMenuLayout) {}
};

class Failing : public runtime::Form {
public:
    Failing() : Form(kLayout) {}

protected:
    void Form_Load() override { throw runtime::Error("cannot load 'IO.DLL': IO.DLL: no such library"); }
};

class Plain : public runtime::Form {
public:
    Plain() : Form(kLayout) {}

protected:
    void Form_Load() override
    {
        QTimer::singleShot(0, [] {
            for (QWidget* window : QApplication::topLevelWidgets())
                window->close();
        });
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "last-window") == 0) {
        const int status = runtime::ThunRTMain({.title = "Project1", .startupForm = runtime::vbaNew2<Plain>});
        std::printf("ended with %d\n", status);
        return status;
    }

    QApplication application(argc, argv);
    BoxAnswerer answerer([](QMessageBox& box) {
        std::printf("box: %s | %s\n", qPrintable(box.windowTitle()), qPrintable(box.text().replace('\n', ' ')));
        std::fflush(stdout);
    });

    const bool badMenu = argc > 1 && std::strcmp(argv[1], "bad-menu") == 0;
    QTimer::singleShot(0, [badMenu] {
        runtime::startProject({.title = "Project1", .startupForm = [badMenu]() -> runtime::Form& {
                                   if (badMenu)
                                       return runtime::vbaNew2<BadMenu>();
                                   return runtime::vbaNew2<Failing>();
                               }});
        std::printf("survived\n");
        QApplication::exit(0);
    });
    return QApplication::exec();
}
