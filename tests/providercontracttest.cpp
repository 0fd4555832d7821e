#include "carriers/carrierdetector.h"
#include "providers/seventeentrackprovider.h"
#include "providers/trackingprovider.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QObject>
#include <QTest>
#include <qcoro/qcorotask.h>

#include <cmath>
#include <limits>

using Kind = TrackingProviderError::Kind;
using namespace Qt::Literals::StringLiterals;

namespace
{
template<typename T> T runTask(QCoro::Task<T> &&task)
{
    std::optional<T> value;
    QObject context;
    QCoro::connect(std::move(task), &context, [&](T &&result) { value.emplace(std::move(result)); });
    if (!QTest::qWaitFor([&] { return value.has_value(); }, 5000))
        qFatal("task did not finish");
    return std::move(*value);
}

/**
 * Answers after a virtual pause and counts how many fetches overlap, so the default batch's
 * one-after-another promise is observable.
 */
class SlowProvider final : public TrackingProvider
{
public:
    explicit SlowProvider(Clock *clock)
        : m_clock(clock)
    { }
    [[nodiscard]] QString providerName() const override { return QStringLiteral("slow"); }
    [[nodiscard]] bool isConfigured() const override { return true; }
    QCoro::Task<TrackingOutcome> fetchTracking(QString trackingNumber, std::optional<QString> carrierCode) override
    {
        ++m_running;
        maxRunning = std::max(maxRunning, m_running);
        calls.append({trackingNumber, carrierCode});
        co_await m_clock->sleep(std::chrono::seconds(1));
        --m_running;
        if (trackingNumber.startsWith(QLatin1Char('X')))
            co_return TrackingOutcome::failure(TrackingProviderError::trackingNotFound());
        if (trackingNumber.startsWith(QLatin1Char('T')))
            throw std::runtime_error("socket exploded");
        TrackingResult result;
        result.trackingNumber = trackingNumber;
        result.carrierCode = carrierCode.value_or(QString());
        co_return result;
    }
    QCoro::Task<DetectionOutcome> detectCarrier(QString) override { co_return QList<CarrierDetectionResult>(); }

    QList<TrackingRequest> calls;
    int maxRunning = 0;

private:
    Clock *m_clock;
    int m_running = 0;
};
}

class ProviderContractTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void errorDescriptions_data()
    {
        QTest::addColumn<TrackingProviderError>("error");
        QTest::addColumn<QString>("description");
        QTest::newRow("network error names the transport's text")
            << TrackingProviderError::networkError(QStringLiteral("The request timed out."))
            << "Network error: The request timed out.";
        QTest::newRow("rate limit without retry time")
            << TrackingProviderError::rateLimited() << "Rate limited. Please try again later.";
        QTest::newRow("rate limit truncates 30.9 to 30")
            << TrackingProviderError::rateLimited(30.9) << "Rate limited. Try again in 30 seconds.";
        QTest::newRow("rate limit of zero seconds")
            << TrackingProviderError::rateLimited(0.4) << "Rate limited. Try again in 0 seconds.";
        QTest::newRow("rate limit truncates a negative time towards zero")
            << TrackingProviderError::rateLimited(-5.7) << "Rate limited. Try again in -5 seconds.";
        QTest::newRow("rate limit of a large whole number is shown in full")
            << TrackingProviderError::rateLimited(1e16) << "Rate limited. Try again in 10000000000000000 seconds.";
        QTest::newRow("rate limit beyond 64 bits reads as later")
            << TrackingProviderError::rateLimited(1e19) << "Rate limited. Please try again later.";
        QTest::newRow("rate limit of infinity reads as later")
            << TrackingProviderError::rateLimited(std::numeric_limits<double>::infinity())
            << "Rate limited. Please try again later.";
        QTest::newRow("rate limit of NaN reads as later")
            << TrackingProviderError::rateLimited(std::nan("")) << "Rate limited. Please try again later.";
        QTest::newRow("provider error with message")
            << TrackingProviderError::providerError(QStringLiteral("HTTP 500")) << "Provider error: HTTP 500";
        QTest::newRow("provider error with empty message")
            << TrackingProviderError::providerError(QString()) << "Provider error: ";
        QTest::newRow("invalid number") << TrackingProviderError::invalidTrackingNumber()
                                        << "The tracking number format is invalid.";
        QTest::newRow("carrier not found")
            << TrackingProviderError::carrierNotFound() << "Could not determine the carrier for this tracking number.";
        QTest::newRow("key missing") << TrackingProviderError::apiKeyMissing()
                                     << "API key not configured. Please add your API key in Settings.";
        QTest::newRow("key invalid") << TrackingProviderError::apiKeyInvalid()
                                     << "API key is invalid. Please check your API key in Settings.";
        QTest::newRow("tracking not found")
            << TrackingProviderError::trackingNotFound() << "No tracking information found for this number.";
    }
    void errorDescriptions()
    {
        QFETCH(TrackingProviderError, error);
        QFETCH(QString, description);
        QCOMPARE(error.description(), description);
    }

    void providerTypeRawValues_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("type");
        QTest::newRow("17track") << "17track" << true << int(TrackingProviderType::seventeenTrack);
        QTest::newRow("ship24") << "ship24" << true << int(TrackingProviderType::ship24);
        QTest::newRow("aftership in lower case") << "aftership" << true << int(TrackingProviderType::afterShip);
        QTest::newRow("trackingmore") << "trackingmore" << true << int(TrackingProviderType::trackingMore);
        QTest::newRow("17Track is not a raw value") << "17Track" << false << 0;
        QTest::newRow("AfterShip display name is not a raw value") << "AfterShip" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
    }
    void providerTypeRawValues()
    {
        QFETCH(QString, raw);
        QFETCH(bool, known);
        QFETCH(int, type);
        const auto parsed = TrackingProviderTypes::fromRawValue(raw);
        QCOMPARE(parsed.has_value(), known);
        if (known) {
            QCOMPARE(int(*parsed), type);
            QCOMPARE(TrackingProviderTypes::rawValue(*parsed), raw);
        }
    }

    void providerTypesInSettingsOrder()
    {
        QStringList names;
        QStringList descriptions;
        for (TrackingProviderType type : TrackingProviderTypes::allCases()) {
            names.append(TrackingProviderTypes::displayName(type));
            descriptions.append(TrackingProviderTypes::providerDescription(type));
        }
        QCOMPARE(names, (QStringList {u"17track"_s, u"Ship24"_s, u"AfterShip"_s, u"TrackingMore"_s}));
        QCOMPARE(descriptions,
                 (QStringList {u"2000+ carriers worldwide"_s, u"Real-time tracking, 1400+ carriers"_s,
                               u"1000+ carriers globally"_s, u"1100+ carriers, webhook support"_s}));
    }

    void createProviderBuildsClientOrPlaceholder()
    {
        for (TrackingProviderType type : TrackingProviderTypes::allCases()) {
            const auto provider = TrackingProviderTypes::createProvider(type);
            QVERIFY(provider);
            QCOMPARE(provider->providerName(), TrackingProviderTypes::displayName(type));
            const bool isClient = qobject_cast<SeventeenTrackProvider *>(provider.get()) != nullptr;
            QCOMPARE(isClient, type == TrackingProviderType::seventeenTrack);
            QCOMPARE(qobject_cast<PlaceholderProvider *>(provider.get()) != nullptr, !isClient);
        }
    }

    void placeholderRefusesEveryFetch()
    {
        PlaceholderProvider provider(QStringLiteral("Ship24"));
        QVERIFY(!provider.isConfigured());
        const TrackingOutcome outcome = runTask(provider.fetchTracking(QStringLiteral("1Z999AA10123456784"), {}));
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.error().kind(), Kind::providerError);
        QCOMPARE(outcome.error().description(),
                 QStringLiteral("Provider error: Ship24 support coming soon. Please use 17track for now."));
    }

    void placeholderBatchFailsEachEntryInOrder()
    {
        PlaceholderProvider provider(QStringLiteral("AfterShip"));
        const BatchOutcome batch = runTask(provider.fetchTrackingBatch(
            {{QStringLiteral("A1"), {}}, {QStringLiteral("B2"), QStringLiteral("ups")}, {QStringLiteral("C3"), {}}}));
        QVERIFY(batch.ok());
        QCOMPARE(batch.value().size(), 3);
        for (const TrackingOutcome &entry : batch.value()) {
            QVERIFY(!entry.ok());
            QCOMPARE(entry.error().message(),
                     QStringLiteral("AfterShip support coming soon. Please use 17track for now."));
        }
        const BatchOutcome empty = runTask(provider.fetchTrackingBatch({}));
        QVERIFY(empty.ok());
        QVERIFY(empty.value().isEmpty());
    }

    void placeholderDetectsOffline()
    {
        PlaceholderProvider provider(QStringLiteral("TrackingMore"));
        const QString number = QStringLiteral("1Z999AA10123456784");
        const DetectionOutcome outcome = runTask(provider.detectCarrier(number));
        QVERIFY(outcome.ok());
        QVERIFY(!outcome.value().isEmpty());
        QCOMPARE(outcome.value(), CarrierDetector::detect(number));
    }

    void defaultBatchRunsOneAfterAnother()
    {
        VirtualClock clock;
        clock.setAutoAdvance(true);
        SlowProvider provider(&clock);
        const QList<TrackingRequest> requests {{QStringLiteral("A1"), QStringLiteral("ups")},
                                               {QStringLiteral("X2"), {}},
                                               {QStringLiteral("T3"), {}},
                                               {QStringLiteral("B4"), {}}};
        const QDateTime start = clock.now();
        const BatchOutcome batch = runTask(provider.fetchTrackingBatch(requests));
        QVERIFY(batch.ok());
        QCOMPARE(provider.maxRunning, 1);
        QCOMPARE(provider.calls, requests);
        QCOMPARE(start.secsTo(clock.now()), 4);
        const QList<TrackingOutcome> &entries = batch.value();
        QCOMPARE(entries.size(), 4);
        QVERIFY(entries.at(0).ok());
        QCOMPARE(entries.at(0).value().carrierCode, QStringLiteral("ups"));
        QCOMPARE(entries.at(1).error(), TrackingProviderError::trackingNotFound());
        QCOMPARE(entries.at(2).error().kind(), Kind::networkError);
        QCOMPARE(entries.at(2).error().description(), QStringLiteral("Network error: socket exploded"));
        QCOMPARE(entries.at(3).value().trackingNumber, QStringLiteral("B4"));
    }
};

KESTROVE_TEST_MAIN(ProviderContractTest)
#include "providercontracttest.moc"
