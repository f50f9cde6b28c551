#pragma once

#include "../WindowView.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QSize>
#include <QString>

namespace runtime::backend {

// A label's lines by the runtime's rule, measured in `font` on `device`,
// and the font they are drawn in.
struct LabelText {
    Typeset set;
    QFont font;
};

inline LabelText labelText(std::string_view text, QSize box, const QFont& font, QPaintDevice* device)
{
    const int pixels =
        font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * device->logicalDpiY() / 72.0);
    auto fontAt = [&](int shrink) {
        QFont smaller = font;
        if (shrink > 0)
            smaller.setPixelSize(pixels - shrink);
        return smaller;
    };
    Typeset set = typeset(
        text, box.width(), box.height(),
        [&](std::string_view piece, int shrink) {
            return QFontMetrics(fontAt(shrink), device)
                .horizontalAdvance(QString::fromUtf8(piece.data(), qsizetype(piece.size())));
        },
        [&](int shrink) { return QFontMetrics(fontAt(shrink), device).lineSpacing(); });
    const int shrink = set.shrink;
    return {std::move(set), fontAt(shrink)};
}

} // namespace runtime::backend
