#pragma once

// What the Win32 back end's own files share.

#include "../WindowView.h"

#include <windows.h>

namespace runtime::backend {

// The window class of every form window.
inline constexpr wchar_t kFormClass[] = L"RuntimeForm";

// The density of the screen, in dots per inch.
int screenDpi();

// The dialog font at `dpi` dots per inch: the system's own, which is made
// for the density of the screen at log-on, scaled to this window's.
HFONT dialogFont(int dpi);

// Draws a label (an owner-drawn static control) with its lines set by the
// runtime's rule, in `font` or a little smaller.
void drawLabel(const DRAWITEMSTRUCT& item, const ControlView& label, HFONT font);

inline COLORREF toColorRef(Rgb rgb)
{
    return RGB(rgb.red, rgb.green, rgb.blue);
}

} // namespace runtime::backend
