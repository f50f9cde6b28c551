// Labels draw their own text: the system's line breaking differs between
// Windows versions (and Wine) where a text holds long runs of blanks, and
// the runtime's rule gives the same lines on every back end.

#include "Text.h"
#include "Win32.h"

#include <vector>

namespace runtime::backend {

namespace {

// The dialog font and the smaller ones a label may shrink to, selected into
// a device context as they are asked for.
class Fonts {
public:
    Fonts(HDC dc, HFONT font) : dc_(dc), previous_(SelectObject(dc, font))
    {
        LOGFONTW base{};
        GetObjectW(font, sizeof base, &base);
        fonts_.push_back(font);
        for (int shrink = 1; shrink <= kMostShrink; ++shrink) {
            LOGFONTW smaller = base;
            smaller.lfHeight += base.lfHeight < 0 ? shrink : -shrink; // pixels smaller
            fonts_.push_back(CreateFontIndirectW(&smaller));
        }
    }

    ~Fonts()
    {
        SelectObject(dc_, previous_);
        for (std::size_t i = 1; i < fonts_.size(); ++i)
            DeleteObject(fonts_[i]);
    }

    void select(int shrink) { SelectObject(dc_, fonts_[shrink]); }

private:
    HDC dc_;
    HGDIOBJ previous_;
    std::vector<HFONT> fonts_;
};

} // namespace

void drawLabel(const DRAWITEMSTRUCT& item, const ControlView& label, HFONT font)
{
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, label.color ? toColorRef(*label.color) : GetSysColor(COLOR_WINDOWTEXT));
    Fonts fonts(dc, font);
    auto measure = [&](std::string_view piece, int shrink) {
        fonts.select(shrink);
        const std::wstring wide = widen(piece);
        SIZE size{};
        GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &size);
        return int(size.cx);
    };
    auto lineHeight = [&](int shrink) {
        fonts.select(shrink);
        TEXTMETRICW metrics;
        GetTextMetricsW(dc, &metrics);
        return int(metrics.tmHeight);
    };
    const Typeset set = typeset(label.caption, item.rcItem.right - item.rcItem.left,
                                item.rcItem.bottom - item.rcItem.top, measure, lineHeight);

    fonts.select(set.shrink);
    RECT line = item.rcItem;
    for (std::string_view text : set.lines) {
        const std::wstring wide = widen(text);
        DrawTextW(dc, wide.c_str(), int(wide.size()), &line, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        line.top += set.lineHeight;
    }
}

} // namespace runtime::backend
