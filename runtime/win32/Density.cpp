// Screen density on the raw Win32 API.

#include "Win32.h"

namespace runtime::backend {

int screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

HFONT dialogFont(int dpi)
{
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfHeight = MulDiv(font.lfHeight, dpi, screenDpi());
    return CreateFontIndirectW(&font);
}

} // namespace runtime::backend
