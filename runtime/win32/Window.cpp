// Form windows on the raw Win32 API.

#include "../Backend.h"
#include "../TextWrap.h"
#include "Text.h"
#include "Win32.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace runtime::backend {

namespace {

constexpr wchar_t kFormClass[] = L"VentrolikForm";
// Command numbers: menu items from 100, controls from 1000, both clear of
// IDOK and IDCANCEL, which IsDialogMessage sends for Enter and Esc.
constexpr UINT kFirstMenuId = 100;
constexpr UINT kFirstControlId = 1000;
constexpr int kProgramIconSize = 32;
// Sent to a per-monitor DPI-aware window that moves to a monitor of another
// density (Windows 8.1 on); older headers lack it.
constexpr UINT kDpiChanged = 0x02E0;
// How many pixels a label's font may lose to fit its text into its box.
constexpr int kMostShrink = 3;

HINSTANCE instance()
{
    return GetModuleHandleW(nullptr);
}

HICON programIcon()
{
    return static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(project().iconId), IMAGE_ICON, kProgramIconSize,
                                         kProgramIconSize, LR_DEFAULTCOLOR | LR_SHARED));
}

int screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

COLORREF toColorRef(Rgb rgb)
{
    return RGB(rgb.red, rgb.green, rgb.blue);
}

// The dialog font at `dpi` dots per inch: the system's own, which is made
// for the density of the screen at log-on, scaled to this window's.
HFONT dialogFont(int dpi)
{
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfHeight = MulDiv(font.lfHeight, dpi, screenDpi());
    return CreateFontIndirectW(&font);
}

bool isFormWindow(HWND window)
{
    wchar_t name[32] = {};
    return GetClassNameW(window, name, 32) && lstrcmpW(name, kFormClass) == 0;
}

class Win32Window final : public Window {
public:
    explicit Win32Window(Form& form) : form_(form), dpi_(screenDpi()), font_(dialogFont(dpi_))
    {
        registerClass();
        const Layout& layout = form.layout();
        const bool dialogFrame = layout.frame.border == Border::FixedDialog;
        // No thick frame and no maximize box: the size is fixed.
        const DWORD style =
            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (dialogFrame ? 0 : WS_MINIMIZEBOX);
        const DWORD exStyle = dialogFrame ? WS_EX_DLGMODALFRAME : 0; // a dialog frame shows no icon

        HMENU menu = buildMenu(layout.menu);
        RECT frame{0, 0, px(layout.frame.clientWidth), px(layout.frame.clientHeight)};
        AdjustWindowRectEx(&frame, style, menu != nullptr, exStyle);
        int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
        if (layout.frame.position) {
            // The position is the client area's; the frame goes around it.
            x = px(layout.frame.position->x) + frame.left;
            y = px(layout.frame.position->y) + frame.top;
        }
        hwnd_ = CreateWindowExW(exStyle, kFormClass, widen(layout.frame.caption).c_str(), style, x, y,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, instance(), this);
        if (!dialogFrame) {
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon()));
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(programIcon()));
        }
        buildControls(layout.controls);
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
        if (!shown_ && !tabOrder_.empty())
            SetFocus(tabOrder_.front());
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
    int px(Twips twips) const { return twipsToPixels(twips, dpi_); }

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

    HMENU buildMenu(std::span<const MenuItem> items)
    {
        if (items.empty())
            return nullptr;
        HMENU bar = CreateMenu();
        for (const MenuEntry& entry : menuTree(items)) {
            const std::wstring caption = widen(items[entry.index].caption);
            if (entry.items.empty()) {
                AppendMenuW(bar, MF_STRING, kFirstMenuId + entry.index, caption.c_str());
                continue;
            }
            HMENU dropDown = CreatePopupMenu();
            for (std::size_t index : entry.items)
                AppendMenuW(dropDown, MF_STRING, kFirstMenuId + index, widen(items[index].caption).c_str());
            AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(dropDown), caption.c_str());
        }
        return bar;
    }

    void buildControls(std::span<const Control> controls)
    {
        // The focus moves through child windows in the order they were made,
        // so they are made in tab order.
        for (std::size_t i : tabOrder(controls)) {
            const Control& control = controls[i];
            const bool button = control.kind == Kind::Button;
            DWORD style = WS_CHILD | WS_VISIBLE;
            if (button)
                style |= WS_TABSTOP | (control.style.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            else
                style |= SS_OWNERDRAW; // see drawLabel
            // A label draws its caption from the table, so its window text is
            // free to be what a screen reader should say.
            const std::string text = button ? control.caption : spokenText(control.caption);
            HWND child =
                CreateWindowExW(0, button ? L"BUTTON" : L"STATIC", widen(text).c_str(), style, px(control.left),
                                px(control.top), px(control.width), px(control.height), hwnd_,
                                reinterpret_cast<HMENU>(UINT_PTR(kFirstControlId + i)), instance(), nullptr);
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
            children_.push_back({child, &control});
            if (button) {
                tabOrder_.push_back(child);
                if (control.style.isDefault)
                    defaultButton_ = kFirstControlId + i;
                if (control.style.isCancel)
                    cancelButton_ = kFirstControlId + i;
            }
        }
    }

    // The window moved to a monitor of another density: the layout is laid
    // out again from its twips, and the frame takes the size that Windows
    // worked out for it.
    void rescale(int dpi, const RECT& frame)
    {
        dpi_ = dpi;
        HFONT previous = std::exchange(font_, dialogFont(dpi));
        for (const auto& [child, control] : children_) {
            MoveWindow(child, px(control->left), px(control->top), px(control->width), px(control->height), FALSE);
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        }
        DeleteObject(previous);
        SetWindowPos(hwnd_, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    // Lines and pictures have no window of their own: they are drawn on the
    // form, behind the other controls, in their stored order.
    void paint()
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        for (const Control& control : form_.layout().controls) {
            if (control.kind == Kind::Line) {
                HPEN pen =
                    CreatePen(PS_SOLID, control.style.lineWidth, toColorRef(control.style.color.value_or(Rgb{})));
                HGDIOBJ previous = SelectObject(dc, pen);
                MoveToEx(dc, px(control.left), px(control.top), nullptr);
                LineTo(dc, px(control.width), px(control.height));
                SelectObject(dc, previous);
                DeleteObject(pen);
            } else if (control.kind == Kind::Picture) {
                DrawIconEx(dc, px(control.left), px(control.top), programIcon(), kProgramIconSize, kProgramIconSize, 0,
                           nullptr, DI_NORMAL);
            }
        }
        EndPaint(hwnd_, &ps);
    }

    // Labels draw their own text: the system's line breaking differs between
    // Windows versions (and Wine) where a text holds long runs of blanks.
    void drawLabel(const DRAWITEMSTRUCT& item)
    {
        auto found = std::ranges::find(children_, item.hwndItem, &std::pair<HWND, const Control*>::first);
        if (found == children_.end())
            return;
        const Control& label = *found->second;
        HDC dc = item.hDC;
        FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, label.style.color ? toColorRef(*label.style.color) : GetSysColor(COLOR_WINDOWTEXT));
        auto measure = [dc](std::string_view piece) {
            const std::wstring wide = widen(piece);
            SIZE size{};
            GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &size);
            return int(size.cx);
        };

        // The layouts were made at 96 dpi, and a font's hinted widths don't
        // grow evenly with the density: at 144 dpi a text that filled its
        // box would wrap to a line more and lose it. The font then shrinks,
        // a pixel at a time, until the text fits.
        const int width = item.rcItem.right - item.rcItem.left;
        const int height = item.rcItem.bottom - item.rcItem.top;
        LOGFONTW font{};
        GetObjectW(font_, sizeof font, &font);
        HFONT smaller = nullptr;
        HGDIOBJ previous = SelectObject(dc, font_);
        TEXTMETRICW metrics;
        std::vector<std::string_view> lines;
        for (int shrink = 0;; ++shrink) {
            GetTextMetricsW(dc, &metrics);
            lines = wrapText(label.caption, width, measure);
            if (int(lines.size()) * metrics.tmHeight <= height || shrink == kMostShrink)
                break;
            font.lfHeight += font.lfHeight < 0 ? 1 : -1; // one pixel smaller
            HFONT next = CreateFontIndirectW(&font);
            SelectObject(dc, next);
            if (smaller)
                DeleteObject(smaller);
            smaller = next;
        }

        RECT line = item.rcItem;
        for (std::string_view text : lines) {
            const std::wstring wide = widen(text);
            DrawTextW(dc, wide.c_str(), int(wide.size()), &line, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
            line.top += metrics.tmHeight;
        }
        SelectObject(dc, previous);
        if (smaller)
            DeleteObject(smaller);
    }

    Handler handlerFor(UINT id) const
    {
        const Layout& layout = form_.layout();
        if (id == IDOK && defaultButton_)
            id = defaultButton_;
        else if (id == IDCANCEL && cancelButton_)
            id = cancelButton_;
        if (id >= kFirstControlId && id - kFirstControlId < layout.controls.size())
            return layout.controls[id - kFirstControlId].click;
        if (id >= kFirstMenuId && id - kFirstMenuId < layout.menu.size())
            return layout.menu[id - kFirstMenuId].click;
        return nullptr;
    }

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam)
    {
        Form& form = form_;
        switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (Handler handler = handlerFor(LOWORD(wParam)))
                    raiseEvent([&form, handler] { handler(form); });
            }
            return 0;
        case WM_CLOSE:
            raiseEvent([&form] { form.Unload(); });
            return 0;
        case DM_GETDEFID:
            return defaultButton_ ? MAKELRESULT(defaultButton_, DC_HASDEFID) : 0;
        case WM_ACTIVATE:
            // Keep the focus on the control that had it, as dialogs do.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus))
                    lastFocus_ = focus;
            } else if (HWND focus = lastFocus_ ? lastFocus_ : (tabOrder_.empty() ? nullptr : tabOrder_.front())) {
                SetFocus(focus);
                return 0;
            }
            break;
        case WM_DRAWITEM:
            drawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_PAINT:
            paint();
            return 0;
        case kDpiChanged:
            rescale(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        }
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

    Form& form_;
    int dpi_;
    HFONT font_;
    HWND hwnd_ = nullptr;
    std::vector<std::pair<HWND, const Control*>> children_;
    std::vector<HWND> tabOrder_;
    UINT defaultButton_ = 0;
    UINT cancelButton_ = 0;
    HWND lastFocus_ = nullptr;
    bool shown_ = false;
};

} // namespace

std::unique_ptr<Window> createWindow(Form& form)
{
    return std::make_unique<Win32Window>(form);
}

namespace {

void (*pendingTask)() = nullptr;

// A thread timer's callback runs from whichever loop is running, a modal
// box's included.
void CALLBACK runPendingTask(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (auto task = std::exchange(pendingTask, nullptr))
        task();
}

} // namespace

void afterEvent(void (*task)())
{
    pendingTask = task;
    SetTimer(nullptr, 0, 0, runPendingTask);
}

int runMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        if (root && isFormWindow(root) && IsDialogMessageW(root, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace runtime::backend
