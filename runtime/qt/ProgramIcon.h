#pragma once

#include <QIcon>

namespace runtime::backend {

// The icon kept in resources/ and compiled into the program.
inline QIcon programIcon()
{
    return QIcon(QStringLiteral(":/ventrolik.ico"));
}

} // namespace runtime::backend
