// Store benchmark: a store of 10,000 packages with 50 events each; opening it and loading
// every package (time and peak memory), reading one package's events, and one save of
// 100 changed packages. The measurements run in a fresh child process, so that the memory
// of building the store does not hide the peak of opening it.
// Usage: bench_store [PACKAGES [EVENTS_PER_PACKAGE]]
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/trackingevent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>

namespace
{
/** A field of /proc/self/status in kB (VmHWM: peak resident size, VmRSS: current). */
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

/** Starts a new peak: writing 5 to clear_refs resets VmHWM to the current resident size. */
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_store: %s\n", qPrintable(what));
    std::exit(1);
}

int measure(const QString &path, int packageCount)
{
    QElapsedTimer timer;
    const qint64 baseline = statusKb("VmRSS");
    resetPeak();
    timer.start();
    auto opened = ModelContext::open(path);
    if (!opened)
        fail(opened.error().fullDescription());
    ModelContext &context = *opened.value();
    auto packages = context.fetchPackages();
    if (!packages)
        fail(packages.error().fullDescription());
    // What a list row shows: the latest event of every package.
    qint64 withLatest = 0;
    for (const Package *package : packages.value())
        withLatest += package->latestEvent() ? 1 : 0;
    const qint64 openMs = timer.elapsed();
    const qint64 peak = statusKb("VmHWM");
    std::printf("open + load all: %lld packages (%lld with a latest event) in %lld ms; peak RSS %lld kB, "
                "%lld kB above the %lld kB of the process before opening\n",
                static_cast<long long>(packages.value().size()), static_cast<long long>(withLatest),
                static_cast<long long>(openMs), static_cast<long long>(peak), static_cast<long long>(peak - baseline),
                static_cast<long long>(baseline));

    timer.restart();
    const qsizetype eventCount = packages.value().at(packageCount / 2)->events().size();
    std::printf("events of one package: %lld loaded in %.2f ms\n", static_cast<long long>(eventCount),
                timer.nsecsElapsed() / 1e6);

    // A refresh-like change: status, lastUpdated and one new event on 100 packages.
    const QDateTime now = QDateTime(QDate(2027, 2, 1), QTime(9, 0), Qt::UTC);
    for (int i = 0; i < 100; ++i) {
        Package *package = packages.value().at(i * (packageCount / 100));
        package->setStatus(TrackingStatus::outForDelivery);
        package->setLastUpdated(now);
        package->appendEvent(std::make_unique<TrackingEvent>(now, TrackingStatus::outForDelivery,
                                                             QStringLiteral("Out for delivery"),
                                                             QStringLiteral("SPRINGFIELD IL"), QStringLiteral("OD")));
    }
    timer.restart();
    if (auto saved = context.save(); !saved)
        fail(saved.error().fullDescription());
    std::printf("save of 100 changed packages (2 columns + 1 event each): %.2f ms\n", timer.nsecsElapsed() / 1e6);
    std::printf("peak RSS of the measuring process: %lld kB\n", static_cast<long long>(statusKb("VmHWM")));
    return 0;
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--measure"))
        return measure(args.at(2), args.at(3).toInt());
    const int packageCount = args.size() > 1 ? args.at(1).toInt() : 10000;
    const int eventsPerPackage = args.size() > 2 ? args.at(2).toInt() : 50;
    if (packageCount < 100 || eventsPerPackage < 1)
        fail(QStringLiteral("usage: bench_store [PACKAGES >= 100 [EVENTS_PER_PACKAGE >= 1]]"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrove.sqlite"));
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);
    QElapsedTimer timer;
    {
        timer.start();
        auto opened = ModelContext::open(path);
        if (!opened)
            fail(opened.error().fullDescription());
        ModelContext &context = *opened.value();
        for (int p = 0; p < packageCount; ++p) {
            auto *package = new Package(QStringLiteral("BENCH%1").arg(p, 8, 10, QLatin1Char('0')),
                                        p % 3 ? QStringLiteral("usps") : QStringLiteral("dhl"),
                                        QStringLiteral("Package %1").arg(p), TrackingStatus::inTransit);
            package->setDateAdded(start.addSecs(p * 60));
            context.insert(package);
            for (int e = 0; e < eventsPerPackage; ++e) {
                package->appendEvent(std::make_unique<TrackingEvent>(
                    start.addSecs(p * 60 + e * 3600), TrackingStatus::inTransit,
                    QStringLiteral("Arrived at USPS Regional Facility %1").arg(e),
                    QStringLiteral("MEMPHIS TN DISTRIBUTION CENTER"), QStringLiteral("IT")));
            }
        }
        if (auto saved = context.save(); !saved)
            fail(saved.error().fullDescription());
        std::printf("build: %d packages x %d events saved in %lld ms; file %.1f MB\n", packageCount, eventsPerPackage,
                    static_cast<long long>(timer.elapsed()),
                    (QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size()) / 1048576.0);
    }
    std::fflush(stdout);

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--measure"), path, QString::number(packageCount)});
    if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit)
        fail(QStringLiteral("the measuring process failed: ") + child.errorString());
    return child.exitCode();
}
