#pragma once

#include "base/result.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>

/**
 * Writes bytes to path whole or not at all: into a temporary file beside it that is flushed to
 * the disk before it replaces the old file. Any failure (a full disk, a file-size limit, a
 * missing folder) leaves the old file as it was and is returned as the reason. Permissions,
 * when given, are set before the first byte is written.
 */
[[nodiscard]] Result<void, QString> writeFileAtomically(const QString &path, const QByteArray &bytes,
                                                        QFileDevice::Permissions permissions = {});
