#include "services/apikeystore.h"

#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorosignal.h>

ApiKeyStore::Operations ApiKeyStore::keychain(const QString &name)
{
    return {[name] { return KeychainManager::retrieve(name); },
            [name](const QString &value) -> Result<bool, QString> { return KeychainManager::save(name, value); }};
}

ApiKeyStore::ApiKeyStore(Operations operations, QObject *parent)
    : QObject(parent)
    , m_operations(std::move(operations))
    , m_worker(new QThreadPool(this))
{
    // One worker: a save queued behind the first read never races it, and the read's migration
    // back into the keychain cannot overwrite a newer key.
    m_worker->setMaxThreadCount(1);
}

ApiKeyStore::~ApiKeyStore() = default;

void ApiKeyStore::setApiKey(const std::optional<QString> &key)
{
    if (m_apiKey == key)
        return;
    m_apiKey = key;
    Q_EMIT apiKeyChanged();
}

QCoro::Task<> ApiKeyStore::load()
{
    if (m_loaded)
        co_return;
    if (m_reading) {
        co_await qCoro(this, &ApiKeyStore::loaded);
        co_return;
    }
    co_await read();
}

QCoro::Task<> ApiKeyStore::reload()
{
    if (!m_reading)
        co_await read();
}

QCoro::Task<> ApiKeyStore::read()
{
    m_reading = true;
    QPointer<ApiKeyStore> self(this);
    // The future is made before co_await: GCC 12 destroys a lambda temporary inside a co_await
    // expression twice, which would release its captures twice.
    const auto retrieve = m_operations.retrieve;
    QFuture<std::optional<QString>> reading = QtConcurrent::run(m_worker, [retrieve] { return retrieve(); });
    const std::optional<QString> key = co_await reading;
    if (!self)
        co_return;
    m_reading = false;
    setApiKey(key && !key->isEmpty() ? key : std::nullopt);
    if (!m_loaded) {
        m_loaded = true;
        Q_EMIT loaded();
    }
}

QCoro::Task<Result<bool, QString>> ApiKeyStore::save(QString value)
{
    QPointer<ApiKeyStore> self(this);
    const QString key = value.trimmed();
    const auto store = m_operations.save;
    QFuture<Result<bool, QString>> saving = QtConcurrent::run(m_worker, [store, key] { return store(key); });
    const Result<bool, QString> saved = co_await saving;
    if (self && saved.ok())
        self->setApiKey(key.isEmpty() ? std::nullopt : std::optional(key));
    co_return saved;
}
