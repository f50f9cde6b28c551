// Form windows on the raw Win32 API, drawn from their descriptions: the
// window and its procedure.

#include "../Backend.h"
#include "Text.h"
#include "Win32.h"

#include <utility>
#include <vector>

namespace runtime::backend {

namespace {

// Command numbers: menu items from 100, controls from 1000, both clear of
// IDOK and IDCANCEL, which IsDialogMessage sends for Enter and Esc.
constexpr UINT kFirstMenuId = 100;
constexpr UINT kFirstControlId = 1000;
// Sent to a per-monitor DPI-aware window that moves to a monitor of another
// density (Windows 8.1 on); older headers lack it.
constexpr UINT kDpiChanged = 0x02E0;

HINSTANCE instance()
{
    return GetModuleHandleW(nullptr);
}

HICON programIcon()
{
    return static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(project().iconId), IMAGE_ICON, kIconSize,
                                         kIconSize, LR_DEFAULTCOLOR | LR_SHARED));
}

HMENU buildMenu(const std::vector<MenuView>& menu)
{
    if (menu.empty())
        return nullptr;
    HMENU bar = CreateMenu();
    for (const MenuView& entry : menu) {
        const std::wstring caption = widen(entry.caption);
        if (entry.items.empty()) {
            AppendMenuW(bar, MF_STRING, kFirstMenuId + entry.item, caption.c_str());
            continue;
        }
        HMENU dropDown = CreatePopupMenu();
        for (const MenuView& item : entry.items)
            AppendMenuW(dropDown, MF_STRING, kFirstMenuId + item.item, widen(item.caption).c_str());
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(dropDown), caption.c_str());
    }
    return bar;
}

class Win32Window final : public Window {
public:
    explicit Win32Window(WindowModel& model)
        : model_(model),
          view_(model.view(screenDpi())),
          font_(dialogFont(view_.dpi))
    {
        registerClass();
        const BorderTraits& border = view_.border;
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
                            (border.minimizeBox ? WS_MINIMIZEBOX : 0) | (border.maximizeBox ? WS_MAXIMIZEBOX : 0) |
                            (border.resizable ? WS_THICKFRAME : 0);
        const DWORD exStyle = border.dialog ? WS_EX_DLGMODALFRAME : 0;

        HMENU menu = buildMenu(view_.menu);
        RECT frame{0, 0, view_.clientWidth, view_.clientHeight};
        AdjustWindowRectEx(&frame, style, menu != nullptr, exStyle);
        int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
        if (const auto corner = view_.framePosition({-frame.left, -frame.top}))
            x = corner->x, y = corner->y;
        hwnd_ = CreateWindowExW(exStyle, kFormClass, widen(view_.caption).c_str(), style, x, y,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, instance(), this);
        if (border.icon) {
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon()));
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(programIcon()));
        }
        buildControls();
    }

    ~Win32Window() override
    {
        // The messages that DestroyWindow sends find no object any more.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        DeleteObject(font_);
    }

    void hide() override { ShowWindow(hwnd_, SW_HIDE); }

    void show() override
    {
        ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(hwnd_);
        if (!shown_ && view_.firstFocus)
            SetFocus(children_[*view_.firstFocus]);
        shown_ = true;
    }

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        return self ? self->handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
    }

private:
    static void registerClass()
    {
        static const ATOM atom = [] {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.lpfnWndProc = procedure;
            windowClass.hInstance = instance();
            windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            windowClass.lpszClassName = kFormClass;
            return RegisterClassExW(&windowClass);
        }();
        (void)atom;
    }

    // Buttons, labels and pictures are child windows, made in the
    // description's order, which is the order the focus moves through them.
    // Lines have none: they are painted on the form.
    void buildControls()
    {
        for (std::size_t i = 0; i < view_.controls.size(); ++i) {
            const ControlView& control = view_.controls[i];
            const bool button = control.kind == Kind::Button;
            if (control.kind == Kind::Line) {
                children_.push_back(nullptr);
                continue;
            }
            DWORD style = WS_CHILD | WS_VISIBLE | (control.tabStop ? WS_TABSTOP : 0);
            if (button)
                style |= view_.defaultButton == i ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            else
                style |= SS_OWNERDRAW; // see WM_DRAWITEM
            // A label or a picture draws itself, so its window text is free
            // to be what a screen reader should say (a button's is its caption).
            const PixelRect& box = control.box;
            HWND child = CreateWindowExW(0, button ? L"BUTTON" : L"STATIC", widen(control.spoken).c_str(), style, box.x,
                                         box.y, box.width, box.height, hwnd_,
                                         reinterpret_cast<HMENU>(UINT_PTR(kFirstControlId + i)), instance(), nullptr);
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
            children_.push_back(child);
        }
    }

    // The window moved to a monitor of another density: the form is
    // described again at that density, and the frame takes the size that
    // Windows worked out for it.
    void rescale(int dpi, const RECT& frame)
    {
        view_ = model_.view(dpi);
        HFONT previous = std::exchange(font_, dialogFont(dpi));
        for (std::size_t i = 0; i < children_.size(); ++i) {
            if (!children_[i])
                continue;
            const PixelRect& box = view_.controls[i].box;
            MoveWindow(children_[i], box.x, box.y, box.width, box.height, FALSE);
            SendMessageW(children_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        }
        DeleteObject(previous);
        SetWindowPos(hwnd_, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    // Lines, behind the other controls, back to front.
    void paint()
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        for (const ControlView& control : view_.controls) {
            if (control.kind == Kind::Line) {
                const PixelLine& line = control.line;
                HPEN pen = CreatePen(PS_SOLID, control.lineWidth, toColorRef(*control.color));
                HGDIOBJ previous = SelectObject(dc, pen);
                MoveToEx(dc, line.from.x, line.from.y, nullptr);
                LineTo(dc, line.to.x, line.to.y);
                SelectObject(dc, previous);
                DeleteObject(pen);
            }
        }
        EndPaint(hwnd_, &ps);
    }

    // The event behind a command: a control's click, with Enter and Esc as
    // the default and cancel buttons', or a menu item's.
    std::optional<Event> eventFor(UINT id) const
    {
        if (id == IDOK && view_.defaultButton)
            id = kFirstControlId + UINT(*view_.defaultButton);
        else if (id == IDCANCEL && view_.cancelButton)
            id = kFirstControlId + UINT(*view_.cancelButton);
        if (id >= kFirstControlId && id - kFirstControlId < view_.controls.size())
            return Event{Event::Clicked, view_.controls[id - kFirstControlId].control};
        if (id >= kFirstMenuId && id < kFirstControlId)
            return Event{Event::MenuChosen, id - kFirstMenuId};
        return std::nullopt;
    }

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED)
                if (const auto event = eventFor(LOWORD(wParam)))
                    model_.report(*event);
            return 0;
        case WM_CLOSE:
            model_.report({Event::CloseAsked});
            return 0;
        case DM_GETDEFID:
            return view_.defaultButton ? MAKELRESULT(kFirstControlId + *view_.defaultButton, DC_HASDEFID) : 0;
        case WM_ACTIVATE:
            // Keep the focus on the control that had it, as dialogs do.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus))
                    lastFocus_ = focus;
            } else if (HWND focus =
                           lastFocus_ ? lastFocus_ : (view_.firstFocus ? children_[*view_.firstFocus] : nullptr)) {
                SetFocus(focus);
                return 0;
            }
            break;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlID < kFirstControlId || item.CtlID - kFirstControlId >= view_.controls.size())
                return TRUE;
            const ControlView& control = view_.controls[item.CtlID - kFirstControlId];
            if (control.kind == Kind::Picture) {
                // The program icon, at its own size in the picture's corner.
                FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
                DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, programIcon(), kIconSize, kIconSize, 0, nullptr,
                           DI_NORMAL);
            } else {
                drawLabel(item, control, font_);
            }
            return TRUE;
        }
        case WM_PAINT:
            paint();
            return 0;
        case kDpiChanged:
            rescale(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        }
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

    WindowModel& model_;
    WindowView view_;
    HFONT font_;
    HWND hwnd_ = nullptr;
    std::vector<HWND> children_; // by index into the description's controls; none for what is painted
    HWND lastFocus_ = nullptr;
    bool shown_ = false;
};

} // namespace

std::unique_ptr<Window> createWindow(WindowModel& model)
{
    return std::make_unique<Win32Window>(model);
}

} // namespace runtime::backend
