#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

/**
 * Notices when another process may have committed to the store: it watches the store file,
 * its -wal file (where commits land in WAL mode) and their folder (a -wal file that appears
 * later, or a file replaced by a new one, is watched again). A burst of file events becomes
 * one storeChanged() on the next turn of the event loop; the context then asks SQLite's
 * data_version whether anything was committed, which costs next to nothing when not. The first
 * storeChanged() comes right after the watch begins, for commits made before it.
 */
class StoreWatcher : public QObject
{
    Q_OBJECT
public:
    explicit StoreWatcher(const QString &storePath, QObject *parent = nullptr);

Q_SIGNALS:
    void storeChanged();

private:
    void watchFiles();
    void fileEvent();

    QString m_storePath;
    QFileSystemWatcher m_watcher;
    QTimer m_coalesce;
};
