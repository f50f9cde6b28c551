#pragma once

#include "../Runtime.h"

#include <QIcon>

namespace runtime::backend {

// The icon the program keeps among its Qt resources.
inline QIcon programIcon()
{
    return QIcon(QString::fromUtf8(project().iconResource));
}

} // namespace runtime::backend
