#pragma once

#include "base/result.h"
#include "services/keychainmanager.h"

#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <functional>
#include <optional>

class QThreadPool;

/**
 * The tracking API key as the application holds it: read once from the keychain, off the GUI
 * thread, then kept in memory, so that no request and no window waits on the Secret Service.
 * Saves go through the same worker, one after another, and update the copy in memory.
 * The command-line front end keeps using KeychainManager directly.
 */
class ApiKeyStore : public QObject
{
    Q_OBJECT
public:
    /** The blocking operations the store runs on its worker thread. */
    struct Operations {
        /** The stored key, or nothing. */
        std::function<std::optional<QString>()> retrieve;
        /** Stores a key: true when the keychain took it, false when only the private file holds it; an error when
         * neither changed. */
        std::function<Result<bool, QString>(const QString &)> save;
    };

    /** KeychainManager's operations on one key name (keychain, fallback file and its migration). */
    [[nodiscard]] static Operations keychain(const QString &keyName = QString::fromLatin1(KeychainManager::apiKeyName));

    explicit ApiKeyStore(Operations operations, QObject *parent = nullptr);
    ~ApiKeyStore() override;

    /** True once the first load() has ended. */
    [[nodiscard]] bool isLoaded() const { return m_loaded; }
    /** The key in memory; nothing while none is stored or before the load ended. Never blocks. */
    [[nodiscard]] std::optional<QString> apiKey() const { return m_apiKey; }

    /** Reads the key once; later calls end at once (or when the first read ends). */
    QCoro::Task<> load();
    /** Reads the key again (kestrove-cli may have stored another); nothing while a read runs. */
    QCoro::Task<> reload();
    /** Stores the key with surrounding white space removed; the result as Operations::save gives it. */
    QCoro::Task<Result<bool, QString>> save(QString value);

Q_SIGNALS:
    /** The first load() has ended. */
    void loaded();
    /** The key in memory changed (loaded or saved). */
    void apiKeyChanged();

private:
    void setApiKey(const std::optional<QString> &key);
    QCoro::Task<> read();

    Operations m_operations;
    QThreadPool *m_worker;
    std::optional<QString> m_apiKey;
    bool m_loaded = false;
    bool m_reading = false;
};
