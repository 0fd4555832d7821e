#include "base/datadirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataDirectory
{
QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/com.kestrove.app");
}

bool ensure()
{
    const QString folder = path();
    if (QFileInfo(folder).isDir())
        return true;
    // The parent (~/.local/share) is shared with every other program and keeps the usual mode.
    constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    return QDir().mkpath(QFileInfo(folder).path()) && (QDir().mkdir(folder, ownerOnly) || QFileInfo(folder).isDir());
}
}
