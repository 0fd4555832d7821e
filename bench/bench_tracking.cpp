// Tracking benchmark.
//  1. Applying results: refreshAll over PACKAGES packages with EVENTS stored events each, whose
//     results repeat every stored event (de-duplicated by key) and bring a few new ones; the
//     provider answers at once, so the time is the service's own: applying, de-duplicating, saving.
//  2. Pacing: refreshAll of BATCH packages against a fake 17TRACK server on 127.0.0.1 in real
//     time; the 17TRACK client spaces its requests 0.35 s apart, so the wall time divided by
//     (requests x 0.35 s) shows how much the service and the client add on top (1.00 is none).
// Usage: bench_tracking [PACKAGES [EVENTS [BATCH]]]   (defaults 1000 50 200)
#include "fake17trackserver.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/preferences.h"
#include "model/trackingevent.h"
#include "providers/seventeentrackprovider.h"
#include "tracking/trackingservice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>
#include <qcoro/qcorotask.h>

#include <cstdio>

namespace
{
[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_tracking: %s\n", qPrintable(what));
    std::exit(1);
}

/** Answers every batch at once from prepared results, by number. */
class PreparedProvider final : public TrackingProvider
{
public:
    QHash<QString, TrackingResult> results;

    QString providerName() const override { return QStringLiteral("prepared"); }
    bool isConfigured() const override { return true; }
    QCoro::Task<TrackingOutcome> fetchTracking(QString trackingNumber, std::optional<QString>) override
    {
        co_return results.value(trackingNumber);
    }
    QCoro::Task<BatchOutcome> fetchTrackingBatch(QList<TrackingRequest> packages) override
    {
        QList<TrackingOutcome> outcomes;
        outcomes.reserve(packages.size());
        for (const TrackingRequest &request : packages)
            outcomes.append(TrackingOutcome(results.value(request.trackingNumber)));
        co_return outcomes;
    }
    QCoro::Task<DetectionOutcome> detectCarrier(QString) override { co_return QList<CarrierDetectionResult> {}; }
};

/** Runs a task to its end on the event loop. */
void runToEnd(QCoro::Task<> &&task)
{
    bool done = false;
    QObject context;
    QCoro::connect(std::move(task), &context, [&] { done = true; });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QString number(int i)
{
    return QStringLiteral("BENCH%1").arg(i, 6, 10, QLatin1Char('0'));
}

void benchApply(const QString &directory, int packageCount, int eventCount)
{
    const QString path = directory + QStringLiteral("/apply.sqlite");
    const QDateTime base(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc());
    {
        auto opened = ModelContainer::open(path);
        if (!opened)
            fail(opened.error());
        ModelContext &context = *opened.value();
        for (int p = 0; p < packageCount; ++p) {
            auto *package = new Package(number(p), QStringLiteral("ups"), QString(), TrackingStatus::inTransit);
            for (int e = 0; e < eventCount; ++e)
                package->appendEvent(std::make_unique<TrackingEvent>(
                    base.addSecs(600 * e), TrackingStatus::inTransit, QStringLiteral("Scan %1 at the hub").arg(e),
                    QStringLiteral("Louisville, KY"), QStringLiteral("10")));
            context.insert(package);
        }
        if (auto saved = context.save(); !saved)
            fail(saved.error().fullDescription());
    }

    // Results as the 17TRACK client gives them: newest first, every stored event again (a few
    // hundred milliseconds off, the same whole second) and `fresh` new ones on top.
    const int fresh = 5;
    auto provider = std::make_unique<PreparedProvider>();
    for (int p = 0; p < packageCount; ++p) {
        TrackingResult result;
        result.trackingNumber = number(p);
        result.carrierCode = QStringLiteral("ups");
        result.status = TrackingStatus::inTransit;
        for (int e = eventCount + fresh - 1; e >= 0; --e) {
            TrackingResult::TrackingEventData event;
            event.timestamp = base.addSecs(600 * e).addMSecs(e < eventCount ? 400 : 0);
            event.status = TrackingStatus::inTransit;
            event.description = QStringLiteral("Scan %1 at the hub").arg(e);
            event.location = QStringLiteral("Louisville, KY");
            event.rawStatusCode = QStringLiteral("10");
            result.events.append(event);
        }
        provider->results.insert(result.trackingNumber, result);
    }

    auto opened = ModelContainer::open(path);
    if (!opened)
        fail(opened.error());
    ModelContext &context = *opened.value();
    TrackingService::Collaborators collaborators;
    collaborators.provider = std::move(provider);
    collaborators.postNotifications = false;
    collaborators.backgroundRetries = false;
    collaborators.polling.observeSystemSleep = false;
    TrackingService service(std::move(collaborators));

    const char *rounds[] = {"first refresh (events read from the store, 5 new per package)",
                            "second refresh (every event known)", "third refresh (every event known)"};
    for (const char *round : rounds) {
        QElapsedTimer timer;
        timer.start();
        runToEnd(service.refreshAll(context));
        const double ms = timer.nsecsElapsed() / 1e6;
        if (service.errorMessage())
            fail(*service.errorMessage());
        std::printf("apply %d results x %d events, %s: %.1f ms per refresh, %.1f us per package\n", packageCount,
                    eventCount + fresh, round, ms, ms * 1000.0 / packageCount);
    }
    const auto check = context.fetchPackages();
    if (!check || check.value().constFirst()->events().size() != eventCount + fresh)
        fail(QStringLiteral("de-duplication went wrong"));
}

void benchPacing(int packageCount)
{
    Fake17TrackServer server;
    if (!server.listen())
        fail(QStringLiteral("the fake 17TRACK server could not listen"));
    for (int p = 0; p < packageCount; ++p)
        server.setTrackInfo(
            number(p),
            Fake17TrackServer::trackInfo(10,
                                         QJsonArray {Fake17TrackServer::event(QStringLiteral("2026-06-14T08:00:00Z"),
                                                                              QStringLiteral("Departed"), 10)}),
            100002);

    QTemporaryDir directory;
    auto opened = ModelContainer::open(directory.filePath(QStringLiteral("pacing.sqlite")));
    if (!opened)
        fail(opened.error());
    ModelContext &context = *opened.value();
    for (int p = 0; p < packageCount; ++p)
        context.insert(new Package(number(p), QStringLiteral("ups"), QString(), TrackingStatus::pending));
    if (auto saved = context.save(); !saved)
        fail(saved.error().fullDescription());

    SeventeenTrackProvider::Options options;
    options.baseURL = server.baseUrl();
    options.apiKey = [] { return std::optional<QString>(QStringLiteral("bench-key")); };
    TrackingService::Collaborators collaborators;
    collaborators.provider = std::make_unique<SeventeenTrackProvider>(std::move(options));
    collaborators.postNotifications = false;
    collaborators.backgroundRetries = false;
    collaborators.polling.observeSystemSleep = false;
    TrackingService service(std::move(collaborators));

    QElapsedTimer timer;
    timer.start();
    runToEnd(service.refreshAll(context));
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (service.errorMessage())
        fail(*service.errorMessage());
    const qsizetype requests = server.requests().size();
    const double paced = requests * 0.35;
    std::printf("refreshAll of %d packages against the fake server: %lld requests in %.2f s; "
                "%.2f s of pacing; ratio %.3f\n",
                packageCount, static_cast<long long>(requests), seconds, paced, seconds / paced);
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("com.kestrove.app"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestrove"));
    const QStringList args = app.arguments();
    const int packages = args.size() > 1 ? args.at(1).toInt() : 1000;
    const int events = args.size() > 2 ? args.at(2).toInt() : 50;
    const int batch = args.size() > 3 ? args.at(3).toInt() : 200;
    if (packages <= 0 || events <= 0 || batch <= 0)
        fail(QStringLiteral("usage: bench_tracking [PACKAGES [EVENTS [BATCH]]]"));

    QTemporaryDir directory;
    // The service reads its preferences from a private file, never the user's.
    Preferences preferences(directory.filePath(QStringLiteral("prefs.conf")));
    Preferences::setShared(&preferences);
    benchApply(directory.path(), packages, events);
    benchPacing(batch);
    Preferences::setShared(nullptr);
    return 0;
}
