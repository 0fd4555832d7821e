// Tracking benchmark.
//  1. Applying results: refreshAll over PACKAGES packages with EVENTS stored events each, whose
//     results repeat every stored event (de-duplicated by key) and bring a few new ones; the
//     provider answers at once, so the time is the service's own: applying, de-duplicating, saving.
//  2. Pacing: refreshAll of BATCH packages against a fake 17TRACK server on 127.0.0.1 in real
//     time; the 17TRACK client spaces its requests 0.35 s apart, so the wall time divided by
//     (requests x 0.35 s) shows how much the service and the client add on top (1.00 is none).
//  3. The visible-list rule over LIST packages (as the main window and `kestrove-cli list` evaluate
//     it): the keys of typing "lamp 1" into the search field and erasing it, and a sort by each mode.
// Usage: bench_tracking [PACKAGES [EVENTS [BATCH [LIST]]]]   (defaults 1000 50 200 10000)
#include "base/clock.h"
#include "fake17trackserver.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagelistrule.h"
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

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

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

void benchApply(const QString &directory, int packageCount, int eventCount, Preferences &preferences)
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
    collaborators.clock = Clock::shared();
    collaborators.preferences = &preferences;
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

void benchPacing(int packageCount, Preferences &preferences)
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
    collaborators.clock = Clock::shared();
    collaborators.preferences = &preferences;
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

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

void benchListRule(int packageCount)
{
    // Packages like a real list: a few carriers, labels in words, some notes; dates as the store
    // reads them back (local time from milliseconds since 1970).
    const char *const words[]
        = {"Shoes",      "Lamp",       "Book",          "Camera lens", "Phone case",   "Coffee beans",
           "Headphones", "Desk chair", "Gift for Anna", "Spare parts", "Vinyl record", "Winter coat"};
    const char *const carriers[] = {"ups", "usps", "fedex", "dhl", "amazon", "royal-mail", "china-post", "someco"};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::vector<std::unique_ptr<Package>> owned;
    QList<Package *> all;
    for (int i = 0; i < packageCount; ++i) {
        const TrackingStatus status = TrackingStatuses::allCases()[i % 8];
        const QString label
            = i % 5 == 0 ? QString() : QStringLiteral("%1 %2").arg(QString::fromLatin1(words[i % 12])).arg(i);
        auto package = std::make_unique<Package>(QStringLiteral("BENCH%1XY").arg(i, 10, 10, QLatin1Char('0')),
                                                 QString::fromLatin1(carriers[i % 8]), label, status);
        package->setLastUpdated(QDateTime::fromMSecsSinceEpoch(now - qint64(i) * 37'000));
        package->setDateAdded(QDateTime::fromMSecsSinceEpoch(now - qint64(i % 1000) * 86'400'000));
        package->setArchived(i % 11 == 0);
        package->setPinned(i % 97 == 0);
        if (i % 3 == 0)
            package->setEstimatedDelivery(QDateTime::fromMSecsSinceEpoch(now + qint64(i % 9 - 3) * 86'400'000));
        package->setNotes(i % 4 == 0 ? QStringLiteral("Leave at the door") : QString());
        all.append(package.get());
        owned.push_back(std::move(package));
    }

    const QStringList typed
        = {QStringLiteral("l"),     QStringLiteral("la"),     QStringLiteral("lam"),   QStringLiteral("lamp"),
           QStringLiteral("lamp "), QStringLiteral("lamp 1"), QStringLiteral("lamp "), QStringLiteral("lamp"),
           QStringLiteral("lam"),   QStringLiteral("la"),     QStringLiteral("l"),     QString()};
    QList<double> times;
    qsizetype shown = 0;
    QElapsedTimer timer;
    for (int round = 0; round < 5; ++round) {
        for (const QString &text : typed) {
            PackageListRule::Criteria criteria;
            criteria.searchText = text;
            timer.start();
            shown += PackageListRule::visiblePackages(all, criteria).size();
            times.append(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("list rule, search keystrokes over %d packages: median %.2f ms, worst %.2f ms (%lld rows shown)\n",
                packageCount, median(times), *std::max_element(times.begin(), times.end()),
                static_cast<long long>(shown));

    for (PackageSortMode mode : PackageSortModes::allCases()) {
        QList<double> sortTimes;
        for (int round = 0; round < 5; ++round) {
            PackageListRule::Criteria criteria;
            criteria.sortMode = mode;
            timer.start();
            shown += PackageListRule::visiblePackages(all, criteria).size();
            sortTimes.append(timer.nsecsElapsed() / 1e6);
        }
        std::printf("list rule, all packages sorted by %s: median %.2f ms\n",
                    qPrintable(PackageSortModes::rawValue(mode)), median(sortTimes));
    }
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
    const int list = args.size() > 4 ? args.at(4).toInt() : 10000;
    if (packages <= 0 || events <= 0 || batch <= 0 || list <= 0)
        fail(QStringLiteral("usage: bench_tracking [PACKAGES [EVENTS [BATCH [LIST]]]]"));

    QTemporaryDir directory;
    // The service reads its preferences from a private file, never the user's.
    Preferences preferences(directory.filePath(QStringLiteral("prefs.conf")));
    benchApply(directory.path(), packages, events, preferences);
    benchPacing(batch, preferences);
    benchListRule(list);
    return 0;
}
