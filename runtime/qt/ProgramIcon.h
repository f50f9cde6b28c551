#pragma once

#include <QIcon>

namespace runtime::backend {

inline constexpr int kProgramIconSize = 32;

// The icon kept in resources/ and compiled into the program.
inline QIcon programIcon()
{
    return QIcon(QStringLiteral(":/ventrolik.ico"));
}

} // namespace runtime::backend
