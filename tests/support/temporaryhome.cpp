#include "temporaryhome.h"

#include <QDir>
#include <QFile>

namespace
{
void makePrivateDir(const QString &path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
}

TemporaryHome::TemporaryHome()
    : m_dir(QDir::tempPath() + QStringLiteral("/kestrove-test-XXXXXX"))
{
    const QString home = m_dir.path();
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home + QStringLiteral("/.runtime")));
    reset();
}

TemporaryHome::~TemporaryHome() = default;

QString TemporaryHome::applicationSupportPath() const
{
    return m_dir.path() + QStringLiteral("/.local/share/com.kestrove.app");
}

void TemporaryHome::reset()
{
    QDir home(m_dir.path());
    for (const QString &entry : home.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QFileInfo info(home.filePath(entry));
        if (info.isDir())
            QDir(info.filePath()).removeRecursively();
        else
            QFile::remove(info.filePath());
    }
    for (const char *sub : {"/.local/share", "/.config", "/.cache"})
        QDir().mkpath(m_dir.path() + QLatin1String(sub));
    makePrivateDir(m_dir.path() + QStringLiteral("/.runtime"));
}
