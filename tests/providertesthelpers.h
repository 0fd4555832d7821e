#pragma once

#include "fake17trackserver.h"
#include "providers/seventeentrackprovider.h"
#include "virtualclock.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTest>
#include <qcoro/qcorotask.h>

#include <limits>
#include <memory>

/** Readable failure messages for QCOMPARE on provider errors. */
inline char *toString(const TrackingProviderError &error)
{
    return QTest::toString(error.description());
}

namespace ProviderTest
{
/** Runs a task to its end on the event loop; fails the test when it takes longer than the limit. */
template<typename T> std::optional<T> run(QCoro::Task<T> &&task, int limitMs = 20000)
{
    std::optional<T> value;
    QObject context;
    QCoro::connect(std::move(task), &context, [&](T &&result) { value.emplace(std::move(result)); });
    if (!QTest::qWaitFor([&] { return value.has_value(); }, limitMs))
        qWarning("provider task still running after %d ms", limitMs);
    return value;
}

/**
 * Records when the provider hands each request to the network, in the provider's own (virtual)
 * time. The fake server stamps arrival, which can be later when other tasks move virtual time
 * while a request travels; pacing is a promise about sending.
 */
class SendLog final : public QNetworkAccessManager
{
public:
    struct Sent {
        QDateTime time;
        QString endpoint;
    };
    explicit SendLog(Clock *clock)
        : m_clock(clock)
    { }
    QList<Sent> sent;

    [[nodiscard]] QStringList endpoints() const
    {
        QStringList names;
        for (const Sent &s : sent)
            names.append(s.endpoint);
        return names;
    }
    /** Milliseconds between the n-th send of one endpoint and the m-th send of another. */
    [[nodiscard]] qint64 msecsBetween(qsizetype from, qsizetype to) const
    {
        return sent.at(from).time.msecsTo(sent.at(to).time);
    }
    [[nodiscard]] QList<qsizetype> indexesOf(const QString &endpoint) const
    {
        QList<qsizetype> indexes;
        for (qsizetype i = 0; i < sent.size(); ++i) {
            if (sent.at(i).endpoint == endpoint)
                indexes.append(i);
        }
        return indexes;
    }
    /** The smallest spacing between two consecutive sends; a large value when there were fewer than two. */
    [[nodiscard]] qint64 smallestSpacing() const
    {
        qint64 smallest = std::numeric_limits<qint64>::max();
        for (qsizetype i = 1; i < sent.size(); ++i)
            smallest = std::min(smallest, sent.at(i - 1).time.msecsTo(sent.at(i).time));
        return smallest;
    }

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *data) override
    {
        sent.append({m_clock->now(), request.url().path().section(QLatin1Char('/'), -1)});
        return QNetworkAccessManager::createRequest(op, request, data);
    }

private:
    Clock *m_clock;
};

/** A provider on a virtual clock, talking to a fresh fake server, with a key the test controls. */
struct Harness {
    explicit Harness(std::chrono::milliseconds timeout = std::chrono::seconds(5))
        : server(&clock)
        , network(&clock)
    {
        clock.setAutoAdvance(true);
        if (!server.listen())
            qFatal("fake 17TRACK server cannot listen");
        provider = makeProvider(server.baseUrl(), timeout);
    }

    std::unique_ptr<SeventeenTrackProvider> makeProvider(const QString &baseUrl, std::chrono::milliseconds timeout)
    {
        SeventeenTrackProvider::Options options;
        options.clock = &clock;
        options.network = &network;
        options.baseURL = baseUrl;
        options.transferTimeout = timeout;
        options.apiKey = [this] {
            ++keyReads;
            return key;
        };
        return std::make_unique<SeventeenTrackProvider>(options);
    }

    /** Waits (real time) until the background registrations of the provider have ended. */
    bool settleBackground()
    {
        return QTest::qWaitFor([&] { return provider->backgroundTaskCount() == 0; }, 10000);
    }

    VirtualClock clock;
    Fake17TrackServer server;
    SendLog network;
    std::optional<QString> key = QStringLiteral("test-key-123");
    int keyReads = 0;
    std::unique_ptr<SeventeenTrackProvider> provider;
};
}
