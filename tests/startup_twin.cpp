// The main window's twin in bare Qt: the same widgets (a fixed-size window,
// its menu bar with the same commands, two buttons) in the same font, and
// nothing else, for tools/bench-startup to time beside the program.

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")});
    font.setPointSize(8);
    QApplication::setFont(font);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Ventrolik"));
    auto* menus = new QMenuBar(&window);
    QMenu* action = menus->addMenu(QStringLiteral("Akcija"));
    action->addAction(QStringLiteral("Ukljuci"));
    action->addAction(QStringLiteral("Iskljuci"));
    menus->addAction(QStringLiteral("O Autoru"));
    auto* on = new QPushButton(QStringLiteral("Ukljuci"), &window);
    auto* off = new QPushButton(QStringLiteral("Iskljuci"), &window);
    on->setGeometry(8, 8 + menus->sizeHint().height(), 81, 33);
    off->setGeometry(104, 8 + menus->sizeHint().height(), 81, 33);
    window.setFixedSize(194, 52 + menus->sizeHint().height());
    window.show();
    return QApplication::exec();
}
