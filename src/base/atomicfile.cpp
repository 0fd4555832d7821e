#include "base/atomicfile.h"

#include <QSaveFile>

#include <unistd.h>

Result<void, QString> writeFileAtomically(const QString &path, const QByteArray &bytes,
                                          QFileDevice::Permissions permissions)
{
    using R = Result<void, QString>;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return R::failure(file.errorString());
    if (permissions)
        file.setPermissions(permissions);
    // QSaveFile ignores a failing sync, and a file system with delayed allocation reports a full
    // disk only then: without this check the rename could put an empty file in the old one's place.
    // Returning without commit() removes the temporary file.
    if (file.write(bytes) != bytes.size() || !file.flush())
        return R::failure(file.errorString());
    if (::fsync(file.handle()) != 0)
        return R::failure(qt_error_string(errno));
    if (!file.commit())
        return R::failure(file.errorString());
    return {};
}
