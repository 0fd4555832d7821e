#include "model/storewatcher.h"

#include <QFileInfo>

StoreWatcher::StoreWatcher(const QString &storePath, QObject *parent)
    : QObject(parent)
    , m_storePath(storePath)
{
    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(0);
    connect(&m_coalesce, &QTimer::timeout, this, &StoreWatcher::storeChanged);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &StoreWatcher::fileEvent);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &StoreWatcher::fileEvent);
    watchFiles();
    m_coalesce.start(); // commits made before the watch began count as well
}

void StoreWatcher::watchFiles()
{
    // The watcher forgets a file that was removed or replaced; adding a path it has is a no-op.
    const QStringList wanted
        = {QFileInfo(m_storePath).absolutePath(), m_storePath, m_storePath + QStringLiteral("-wal")};
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString &path : wanted) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_watcher.addPath(path);
    }
}

void StoreWatcher::fileEvent()
{
    watchFiles();
    if (!m_coalesce.isActive())
        m_coalesce.start();
}
