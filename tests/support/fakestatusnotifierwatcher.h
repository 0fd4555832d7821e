#pragma once

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

class FakeStatusNotifierWatcherService;

/**
 * A stand-in for the desktop's tray host on the test session bus: it owns
 * "org.kde.StatusNotifierWatcher", so QSystemTrayIcon counts the tray as available under
 * plain Xvfb, and it records the items that register. It runs in its own thread on its
 * own bus connection, because Qt calls it synchronously from the GUI thread.
 */
class FakeStatusNotifierWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FakeStatusNotifierWatcher(QObject *parent = nullptr);
    ~FakeStatusNotifierWatcher() override;

    /** Claims the watcher's name on the session bus; false when there is no bus or the name is taken. */
    bool start();

    /** The service names (or names and paths) of the items registered so far. */
    [[nodiscard]] QStringList registeredItems() const;

Q_SIGNALS:
    /** An item registered (emitted in the watcher's thread; connect with a context object). */
    void itemRegistered(const QString &service);

private:
    friend class FakeStatusNotifierWatcherService;
    void addItem(const QString &service);

    QThread m_thread;
    FakeStatusNotifierWatcherService *m_service = nullptr;
    mutable QMutex m_mutex;
    QStringList m_items;
};
