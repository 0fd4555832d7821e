#include "services/keychainmanager.h"

#include "base/atomicfile.h"
#include "base/datadirectory.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QStringDecoder>
#include <QThread>
#include <qt6keychain/keychain.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

/*
 * QtKeychain's jobs are asynchronous and all of them go through one process-wide job queue
 * that is not thread-safe, while KeychainManager's operations are synchronous and may be
 * called from any thread. So every job runs on one private worker thread with its own
 * event loop (which also dispatches libsecret's GLib callbacks), and the caller blocks on
 * the outcome for at most jobTimeout. A nested event loop in the caller would have kept the
 * GUI painting, but it re-enters slots and coroutines in the middle of a save; a blocked
 * caller cannot be surprised that way. The Secret Service answers in milliseconds, so the
 * wait is short; when it hangs (a locked keyring waiting for its unlock prompt) the
 * operation gives up after the time-out and the fallback file answers instead.
 */

namespace KeychainManager
{
namespace
{
constexpr std::chrono::seconds jobTimeout {3};

struct JobOutcome {
    bool succeeded = false;
    QByteArray data; // read jobs only
};

class KeychainThread
{
public:
    static KeychainThread &instance()
    {
        static KeychainThread thread;
        return thread;
    }

    /** Runs the job made by makeJob on the worker thread and waits for it; nothing on time-out or shutdown. */
    std::optional<JobOutcome> run(const std::function<QKeychain::Job *()> &makeJob)
    {
        auto promise = std::make_shared<std::promise<JobOutcome>>();
        std::future<JobOutcome> outcome = promise->get_future();
        {
            QMutexLocker lock(&m_mutex);
            if (!ensureStartedLocked())
                return std::nullopt;
            if (QThread::currentThread() == m_thread)
                return std::nullopt; // waiting here would block the very loop that runs the job
            QMetaObject::invokeMethod(
                m_context,
                [makeJob, promise] {
                    QKeychain::Job *job = makeJob();
                    QObject::connect(job, &QKeychain::Job::finished, job, [promise](QKeychain::Job *finished) {
                        JobOutcome result;
                        result.succeeded = finished->error() == QKeychain::NoError;
                        if (const auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(finished))
                            result.data = read->binaryData();
                        promise->set_value(std::move(result));
                    });
                    job->start(); // autoDelete: the job deletes itself after finishing
                },
                Qt::QueuedConnection);
        }
        if (outcome.wait_for(jobTimeout) != std::future_status::ready)
            return std::nullopt;
        return outcome.get();
    }

private:
    bool ensureStartedLocked()
    {
        if (m_stopped || !QCoreApplication::instance())
            return false;
        if (!m_thread) {
            m_thread = new QThread;
            m_thread->setObjectName(QStringLiteral("kestrove-keychain"));
            m_context = new QObject;
            m_context->moveToThread(m_thread);
            m_thread->start();
            // A QThread must not outlive the application while running.
            qAddPostRoutine([] { instance().stop(); });
        }
        return true;
    }

    void stop()
    {
        QMutexLocker lock(&m_mutex);
        m_stopped = true;
        if (!m_thread)
            return;
        m_thread->quit();
        // A job stuck in the Secret Service must not hold up the exit; leave the thread then.
        if (m_thread->wait(std::chrono::duration_cast<std::chrono::milliseconds>(jobTimeout).count())) {
            delete m_context;
            delete m_thread;
        }
        m_context = nullptr;
        m_thread = nullptr;
    }

    QMutex m_mutex;
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr;
    bool m_stopped = false;
};

QString fallbackPath(const QString &key)
{
    return DataDirectory::path() + QStringLiteral("/.") + key;
}

std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

/** Writes the private copy whole or not at all: on any failure the previous file stays as it was. */
Result<void, QString> saveFallback(const QString &key, const QString &value)
{
    if (!DataDirectory::ensure())
        return Result<void, QString>::failure(QStringLiteral("cannot create the folder ") + DataDirectory::path());
    // Owner-only from the first byte, so no readable copy ever exists, not even for a moment.
    return writeFileAtomically(fallbackPath(key), value.toUtf8(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool saveToKeychain(const QString &key, const QString &value)
{
    // The Secret Service replaces an item with the same attributes, so one write job is both
    // the update of an existing item and the addition of a new one.
    const auto outcome = KeychainThread::instance().run([key, value]() -> QKeychain::Job * {
        auto *job = new QKeychain::WritePasswordJob(QLatin1String(service));
        job->setKey(key);
        job->setTextData(value); // stored as its UTF-8 bytes
        return job;
    });
    return outcome && outcome->succeeded;
}

std::optional<QString> readFallback(const QString &key)
{
    QFile file(fallbackPath(key));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodeUtf8(file.readAll());
}
}

Result<bool, QString> save(const QString &key, const QString &value)
{
    // The file first: when it cannot be written, neither store changes and the old key stays in both.
    if (auto written = saveFallback(key, value); !written)
        return Result<bool, QString>::failure(written.error());
    return saveToKeychain(key, value);
}

std::optional<QString> retrieve(const QString &key)
{
    const auto outcome = KeychainThread::instance().run([key]() -> QKeychain::Job * {
        auto *job = new QKeychain::ReadPasswordJob(QLatin1String(service));
        job->setKey(key);
        return job;
    });
    if (outcome && outcome->succeeded) {
        if (auto text = decodeUtf8(outcome->data); text && !text->isEmpty())
            return text;
    }

    auto fromFile = readFallback(key);
    if (!fromFile || fromFile->isEmpty())
        return std::nullopt;
    // Only the file holds it (the keychain was reset or refused the write): put it back into the
    // keychain. The file is only read: rewriting it on every read could lose it on a full disk.
    saveToKeychain(key, *fromFile);
    return fromFile;
}

std::optional<QString> retrieveApiKey()
{
    return retrieve(QString::fromLatin1(apiKeyName));
}

std::optional<QString> apiKeyProblem(const QString &value)
{
    if (value.trimmed().isEmpty())
        return QStringLiteral("The API key is empty.");
    if (std::any_of(value.cbegin(), value.cend(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("The API key contains control characters.");
    if (value.toUtf8().size() > maximumApiKeyBytes)
        return QStringLiteral("The API key is longer than 4 KiB.");
    return std::nullopt;
}
}
