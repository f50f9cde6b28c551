// Form windows on Qt Widgets, drawn from their descriptions.

#include "../Backend.h"
#include "FormWidget.h"
#include "GuiFont.h"
#include "LabelText.h"
#include "ProgramIcon.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <vector>

namespace runtime::backend {

namespace {

int screenDpi()
{
    return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
}

QColor toQColor(Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

struct Line {
    QLine points;
    QColor color;
    int width;
};

// The surface below the menu bar. Lines have no window of their own: they
// are drawn on it, behind every other control, in their stored order.
class ClientArea final : public QWidget {
public:
    using QWidget::QWidget;
    std::vector<Line> lines;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        for (const Line& line : lines) {
            painter.setPen(QPen(line.color, line.width, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(line.points);
        }
    }
};

// A label sets its own lines by the runtime's rule, so that a table gives
// the same lines on every back end; its text stays a QLabel's, for
// assistive technology.
class Label final : public QLabel {
public:
    Label(const ControlView& control, QWidget* parent) : QLabel(parent), caption_(control.caption)
    {
        setTextFormat(Qt::PlainText);
        setText(toQString(caption_));
        if (control.spoken != caption_)
            setAccessibleName(QString::fromStdString(control.spoken));
        if (control.color) {
            QPalette palette = this->palette();
            palette.setColor(QPalette::WindowText, toQColor(*control.color));
            setPalette(palette);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const LabelText text = labelText(caption_, size(), font(), this);
        QPainter painter(this);
        painter.setFont(text.font);
        painter.setPen(palette().color(QPalette::WindowText));
        // One text, a line break after each line: Qt's own layout sets
        // the lines' pitch, as it does for any label's text.
        QString lines;
        for (std::string_view piece : text.set.lines)
            lines += (lines.isEmpty() ? QString() : QStringLiteral("\n")) + toQString(piece);
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop, lines);
    }

private:
    const char* caption_; // the table's, for the life of the program
};

class FormWindow final : public FormWidget {
public:
    FormWindow(WindowModel& model, bool dialog) : FormWidget(dialog), model_(model) {}

    QPushButton* defaultButton = nullptr;
    QPushButton* cancelButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        // The form decides what closing means.
        event->ignore();
        model_.report({Event::CloseAsked});
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        QPushButton* target = nullptr;
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            target = defaultButton;
        else if (event->key() == Qt::Key_Escape)
            target = cancelButton;
        if (target)
            target->click();
        else
            QWidget::keyPressEvent(event);
    }

private:
    WindowModel& model_;
};

Qt::WindowFlags flagsFor(const BorderTraits& border)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (!border.dialog)
        flags |= Qt::WindowSystemMenuHint;
    if (border.minimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    if (border.maximizeBox)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

class QtWindow final : public Window {
public:
    explicit QtWindow(WindowModel& model) : model_(model)
    {
        const WindowView view = model.view(screenDpi());
        useGuiFont();
        installAccessibility();
        widget_ = new FormWindow(model, view.border.dialog);
        widget_->setObjectName(view.name);
        widget_->setWindowFlags(flagsFor(view.border));
        widget_->setWindowTitle(QString::fromUtf8(view.caption));
        widget_->setWindowIcon(view.border.icon ? programIcon() : QIcon());

        const QSize clientSize(view.clientWidth, view.clientHeight);
        int menuHeight = 0;
        if (!view.menu.empty()) {
            QMenuBar* bar = buildMenu(view.menu);
            menuHeight = bar->sizeHint().height();
            bar->setGeometry(0, 0, clientSize.width(), menuHeight);
        }
        auto* client = new ClientArea(widget_);
        client->setObjectName("client");
        client->setGeometry(QRect(QPoint(0, menuHeight), clientSize));
        if (view.border.resizable)
            widget_->resize(clientSize.width(), clientSize.height() + menuHeight);
        else
            widget_->setFixedSize(clientSize.width(), clientSize.height() + menuHeight);
        // setGeometry places the widget inside the window manager's frame.
        if (const auto corner = view.framePosition({0, menuHeight}))
            widget_->setGeometry(QRect(QPoint(corner->x, corner->y), widget_->size()));

        buildControls(view, client);
    }

    ~QtWindow() override { delete widget_; }

    void hide() override { widget_->hide(); }

    void show() override
    {
        const bool first = !shown_;
        shown_ = true;
        widget_->show();
        widget_->raise();
        widget_->activateWindow();
        if (first && firstFocus_)
            firstFocus_->setFocus(Qt::ActiveWindowFocusReason);
    }

private:
    QMenuBar* buildMenu(const std::vector<MenuView>& menu)
    {
        auto* bar = new QMenuBar(widget_);
        auto wire = [this](QAction* action, const MenuView& item) {
            action->setObjectName(item.name);
            QObject::connect(action, &QAction::triggered, widget_, [this, index = item.item] {
                model_.report({Event::MenuChosen, index});
            });
        };
        for (const MenuView& entry : menu) {
            if (entry.items.empty()) {
                wire(bar->addAction(QString::fromUtf8(entry.caption)), entry);
                continue;
            }
            QMenu* dropDown = bar->addMenu(QString::fromUtf8(entry.caption));
            dropDown->setObjectName(entry.name);
            wire(dropDown->menuAction(), entry);
            for (const MenuView& item : entry.items)
                wire(dropDown->addAction(QString::fromUtf8(item.caption)), item);
        }
        return bar;
    }

    void buildControls(const WindowView& view, ClientArea* client)
    {
        QWidget* previousStop = nullptr;
        for (std::size_t i = 0; i < view.controls.size(); ++i) {
            const ControlView& control = view.controls[i];
            const PixelRect& box = control.box;
            if (control.kind == Kind::Line) {
                const PixelLine& line = control.line;
                client->lines.push_back({QLine(line.from.x, line.from.y, line.to.x, line.to.y),
                                         toQColor(*control.color), control.lineWidth});
                continue;
            }
            QWidget* widget = buildControl(view, i, client);
            widget->setObjectName(control.name);
            widget->setGeometry(box.x, box.y, box.width, box.height);
            widget->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::NoFocus);
            if (control.tabStop && previousStop)
                QWidget::setTabOrder(previousStop, widget);
            if (control.tabStop)
                previousStop = widget;
            if (view.firstFocus == i)
                firstFocus_ = widget;
        }
    }

    QWidget* buildControl(const WindowView& view, std::size_t i, ClientArea* client)
    {
        const ControlView& control = view.controls[i];
        switch (control.kind) {
        case Kind::Button: {
            auto* button = new QPushButton(QString::fromUtf8(control.caption), client);
            button->setAutoDefault(false);
            button->setDefault(view.defaultButton == i);
            if (view.defaultButton == i)
                widget_->defaultButton = button;
            if (view.cancelButton == i)
                widget_->cancelButton = button;
            QObject::connect(button, &QPushButton::clicked, button, [this, index = control.control] {
                model_.report({Event::Clicked, index});
            });
            return button;
        }
        case Kind::Label:
            return new Label(control, client);
        case Kind::Picture: {
            auto* picture = new QLabel(client);
            picture->setPixmap(programIcon().pixmap(kIconSize, kIconSize));
            picture->setAccessibleName(QString::fromStdString(control.spoken));
            return picture;
        }
        case Kind::Line:
            break;
        }
        return nullptr;
    }

    WindowModel& model_;
    QPointer<FormWindow> widget_;
    QWidget* firstFocus_ = nullptr;
    bool shown_ = false;
};

} // namespace

std::unique_ptr<Window> createWindow(WindowModel& model)
{
    return std::make_unique<QtWindow>(model);
}

} // namespace runtime::backend
