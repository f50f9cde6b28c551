// Form windows on Qt Widgets.

#include "../Backend.h"
#include "../TextWrap.h"
#include "GuiFont.h"
#include "ProgramIcon.h"

#include <QAccessibleWidget>
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

void dispatch(Form& form, Handler handler)
{
    raiseEvent([&form, handler] { handler(form); });
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

class FormWidget final : public QWidget {
public:
    explicit FormWidget(Form& form) : form_(form) {}

    const Form& form() const { return form_; }

    QPushButton* defaultButton = nullptr;
    QPushButton* cancelButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        // The form decides what closing means; its Unload takes the widget
        // down afterwards.
        event->ignore();
        raiseEvent([this] { form_.Unload(); });
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
    Form& form_;
};

// A plain top-level QWidget tells assistive technology that it is a generic
// container, so screen readers would not announce it as a window when it
// opens, nor read a dialog's text. The border says which the window is.
QAccessibleInterface* formAccessibility(const QString&, QObject* object)
{
    auto* window = dynamic_cast<FormWidget*>(object);
    if (!window)
        return nullptr;
    const bool dialog = window->form().layout().frame.border == Border::FixedDialog;
    return new QAccessibleWidget(window, dialog ? QAccessible::Dialog : QAccessible::Window);
}

Qt::WindowFlags flagsFor(Border border)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (border == Border::FixedSingle)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint;
    return flags;
}

QMenuBar* buildMenu(FormWidget* window, Form& form, std::span<const MenuItem> items)
{
    auto* bar = new QMenuBar(window);
    auto wire = [&](QAction* action, const MenuItem& item) {
        action->setObjectName(item.name);
        if (item.click)
            QObject::connect(action, &QAction::triggered, window,
                             [&form, handler = item.click] { dispatch(form, handler); });
    };
    for (const MenuEntry& entry : menuTree(items)) {
        const MenuItem& item = items[entry.index];
        if (entry.items.empty()) {
            wire(bar->addAction(QString::fromUtf8(item.caption)), item);
            continue;
        }
        QMenu* dropDown = bar->addMenu(QString::fromUtf8(item.caption));
        dropDown->setObjectName(item.name);
        wire(dropDown->menuAction(), item);
        for (std::size_t index : entry.items)
            wire(dropDown->addAction(QString::fromUtf8(items[index].caption)), items[index]);
    }
    return bar;
}

class QtWindow final : public Window {
public:
    explicit QtWindow(Form& form)
    {
        const Layout& layout = form.layout();
        const int dpi = screenDpi();
        auto px = [dpi](Twips twips) { return twipsToPixels(twips, dpi); };

        useGuiFont();
        static const bool accessible = (QAccessible::installFactory(formAccessibility), true);
        (void)accessible;
        widget_ = new FormWidget(form);
        widget_->setObjectName(layout.frame.name);
        widget_->setWindowFlags(flagsFor(layout.frame.border));
        widget_->setWindowTitle(QString::fromUtf8(layout.frame.caption));
        widget_->setWindowIcon(layout.frame.border == Border::FixedSingle ? programIcon() : QIcon());

        const QSize clientSize(px(layout.frame.clientWidth), px(layout.frame.clientHeight));
        int menuHeight = 0;
        if (!layout.menu.empty()) {
            QMenuBar* bar = buildMenu(widget_, form, layout.menu);
            menuHeight = bar->sizeHint().height();
            bar->setGeometry(0, 0, clientSize.width(), menuHeight);
        }
        auto* client = new ClientArea(widget_);
        client->setObjectName("client");
        client->setGeometry(QRect(QPoint(0, menuHeight), clientSize));
        // A fixed size keeps the window from being resized or maximized.
        widget_->setFixedSize(clientSize.width(), clientSize.height() + menuHeight);
        if (layout.frame.position) {
            // setGeometry places the client area, where move would place the frame.
            const QPoint corner(px(layout.frame.position->x), px(layout.frame.position->y) - menuHeight);
            widget_->setGeometry(QRect(corner, widget_->size()));
        }

        buildControls(form, client, px);
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
        if (first && !tabOrder_.empty())
            tabOrder_.front()->setFocus(Qt::ActiveWindowFocusReason);
    }

private:
    template <typename ToPixels>
    void buildControls(Form& form, ClientArea* client, ToPixels px)
    {
        const auto controls = form.layout().controls;
        std::vector<QWidget*> widgets(controls.size(), nullptr);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const Control& control = controls[i];
            if (control.kind == Kind::Line) {
                client->lines.push_back(
                    {QLine(px(control.left), px(control.top), px(control.width), px(control.height)),
                     toQColor(control.style.color.value_or(Rgb{0, 0, 0})), control.style.lineWidth});
                continue;
            }
            widgets[i] = buildControl(form, control, client);
            widgets[i]->setObjectName(control.name);
            widgets[i]->setGeometry(px(control.left), px(control.top), px(control.width), px(control.height));
        }
        for (std::size_t i : tabOrder(controls))
            if (widgets[i]->focusPolicy() != Qt::NoFocus)
                tabOrder_.push_back(widgets[i]);
        for (std::size_t i = 1; i < tabOrder_.size(); ++i)
            QWidget::setTabOrder(tabOrder_[i - 1], tabOrder_[i]);
    }

    QWidget* buildControl(Form& form, const Control& control, ClientArea* client)
    {
        const QString caption = QString::fromUtf8(control.caption);
        switch (control.kind) {
        case Kind::Button: {
            auto* button = new QPushButton(caption, client);
            button->setAutoDefault(false);
            button->setDefault(control.style.isDefault);
            if (control.style.isDefault)
                widget_->defaultButton = button;
            if (control.style.isCancel)
                widget_->cancelButton = button;
            if (control.click)
                QObject::connect(button, &QPushButton::clicked, button,
                                 [&form, handler = control.click] { dispatch(form, handler); });
            return button;
        }
        case Kind::Label: {
            auto* label = new QLabel(caption, client);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (const std::string spoken = spokenText(control.caption); spoken != control.caption)
                label->setAccessibleName(QString::fromStdString(spoken));
            if (control.style.color) {
                QPalette palette = label->palette();
                palette.setColor(QPalette::WindowText, toQColor(*control.style.color));
                label->setPalette(palette);
            }
            return label;
        }
        case Kind::Picture: {
            auto* picture = new QLabel(client);
            picture->setPixmap(programIcon().pixmap(kProgramIconSize, kProgramIconSize));
            picture->setAccessibleName(QString::fromUtf8(project().name)); // the program icon
            return picture;
        }
        case Kind::Line:
            break;
        }
        return nullptr;
    }

    QPointer<FormWidget> widget_;
    std::vector<QWidget*> tabOrder_;
    bool shown_ = false;
};

} // namespace

std::unique_ptr<Window> createWindow(Form& form)
{
    return std::make_unique<QtWindow>(form);
}

} // namespace runtime::backend
