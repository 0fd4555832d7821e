// Start-up of Kestrove against a bare Qt Widgets window, on a store of PACKAGES packages with
// EVENTS_PER_PACKAGE events each, built once in a private home.
//
//   bench_startup [RUNS [PACKAGES [EVENTS_PER_PACKAGE]]]      defaults 5, 10000 and 50
//
// The two programs start alternately, RUNS times each, on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise. Each writes "first-frame NS" when its window has painted its
// first frame; Kestrove also writes "store-loaded NS" once every package is in memory. Measured:
// time from the start of the process to its first frame (and, for Kestrove, to the whole store),
// and the peak resident size of the process (wait4's ru_maxrss) after it is ended at that point.
// Prints every run, the medians, the ratio of the start times and the difference of the peaks.
// BENCH_STARTUP_HOME=DIR keeps the home (and its store, built once) in DIR, for profiling there.
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace
{
[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_startup: %s\n", qPrintable(what));
    std::exit(1);
}

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<qint64>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void buildStore(const QString &path, int packageCount, int eventsPerPackage)
{
    QElapsedTimer timer;
    timer.start();
    auto opened = ModelContext::open(path);
    if (!opened)
        fail(opened.error().fullDescription());
    ModelContext &context = *opened.value();
    QList<PackageGroup *> groups;
    for (int i = 0; i < 6; ++i) {
        auto *group = new PackageGroup(QStringLiteral("Group %1").arg(i), PackageGroup::colorPalette().at(i).hex, i);
        context.insert(group);
        groups.append(group);
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime start = now.addSecs(-qint64(packageCount) * 600);
    const TrackingStatus statuses[]
        = {TrackingStatus::inTransit, TrackingStatus::outForDelivery, TrackingStatus::pending,
           TrackingStatus::failedAttempt, TrackingStatus::exception};
    for (int p = 0; p < packageCount; ++p) {
        // Delivered packages were all updated just now, so the retention clean-up keeps them.
        const bool delivered = p % 4 == 0;
        const TrackingStatus status = delivered ? TrackingStatus::delivered : statuses[p % 5];
        auto *package = new Package(QStringLiteral("BENCH%1XY").arg(p, 10, 10, QLatin1Char('0')),
                                    p % 3 ? QStringLiteral("usps") : QStringLiteral("dhl"),
                                    p % 5 ? QStringLiteral("Package %1").arg(p) : QString(), status);
        package->setDateAdded(start.addSecs(p * 600));
        package->setLastUpdated(delivered ? now : start.addSecs(p * 600 + eventsPerPackage * 3600));
        package->setArchived(delivered && p % 8 == 0);
        package->setPinned(p % 997 == 0);
        if (p % 3 == 0)
            package->setEstimatedDelivery(now.addDays(p % 9 - 3));
        context.insert(package);
        if (p % 4 == 1)
            package->addToGroup(groups.at(p % 6));
        for (int e = 0; e < eventsPerPackage; ++e) {
            package->appendEvent(std::make_unique<TrackingEvent>(
                start.addSecs(p * 600 + e * 3600), e + 1 == eventsPerPackage ? status : TrackingStatus::inTransit,
                QStringLiteral("Arrived at USPS Regional Facility %1").arg(e),
                QStringLiteral("MEMPHIS TN DISTRIBUTION CENTER"), QStringLiteral("IT")));
        }
    }
    if (auto saved = context.save(); !saved)
        fail(saved.error().fullDescription());
    std::printf("store: %d packages x %d events built in %lld ms\n", packageCount, eventsPerPackage,
                static_cast<long long>(timer.elapsed()));
}

struct Run {
    double firstFrameMs = 0;
    double storeLoadedMs = 0;
    double peakMb = 0;
};

/** Starts program, waits for its markers, ends it and collects its peak resident size. */
Run runOnce(const char *program, bool waitForStore)
{
    int fds[2];
    if (pipe(fds) != 0)
        fail(QStringLiteral("pipe failed"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    if (!qEnvironmentVariableIsSet("BENCH_STARTUP_VERBOSE"))
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char *argv[] = {const_cast<char *>(program), nullptr};
    const qint64 started = monotonicNs();
    pid_t pid = 0;
    if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) != 0)
        fail(QStringLiteral("cannot start %1").arg(QString::fromLocal8Bit(program)));
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);

    Run run;
    QByteArray output;
    const auto markerMs = [&](const QByteArray &marker) -> double {
        for (const QByteArray &line : output.split('\n')) {
            if (line.startsWith(QByteArray(marker + ' ')))
                return (line.mid(marker.size() + 1).toLongLong() - started) / 1e6;
        }
        return 0;
    };
    const qint64 deadline = started + 120LL * 1000000000LL;
    while (run.firstFrameMs == 0 || (waitForStore && run.storeLoadedMs == 0)) {
        pollfd readable {fds[0], POLLIN, 0};
        const int left = int(std::max<qint64>(0, (deadline - monotonicNs()) / 1000000));
        if (poll(&readable, 1, left) <= 0)
            fail(QStringLiteral("%1 did not report in time").arg(QString::fromLocal8Bit(program)));
        char buffer[512];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            fail(QStringLiteral("%1 ended before reporting").arg(QString::fromLocal8Bit(program)));
        output.append(buffer, n);
        run.firstFrameMs = markerMs("first-frame");
        run.storeLoadedMs = markerMs("store-loaded");
    }
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    close(fds[0]);
    run.peakMb = usage.ru_maxrss / 1024.0;
    return run;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}
}

int main(int argc, char *argv[])
{
    QTemporaryDir temporaryHome;
    const QString home = qEnvironmentVariableIsSet("BENCH_STARTUP_HOME") ? qEnvironmentVariable("BENCH_STARTUP_HOME")
                                                                         : temporaryHome.path();
    if (home.isEmpty())
        fail(QStringLiteral("no temporary folder"));
    // Both programs run in the private home; nothing reaches the network.
    const QByteArray root = QFile::encodeName(home);
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_CACHE_HOME", root + "/.cache");
    qputenv("KESTROVE_17TRACK_BASE_URL", "http://127.0.0.1:9");
    qputenv("KESTROVE_UPDATE_MANIFEST_URL", "http://127.0.0.1:9/update.json");
    qputenv("KESTROVE_TILE_URL", "http://127.0.0.1:9/{z}/{x}/{y}.png");
    qputenv("KESTROVE_GEOCODER_URL", "http://127.0.0.1:9");
    qputenv("KESTROVE_REPORT_FIRST_FRAME", "1");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("--build")) {
        buildStore(args.at(2), args.at(3).toInt(), args.at(4).toInt());
        return 0;
    }
    const int runs = args.size() > 1 ? args.at(1).toInt() : 5;
    const int packageCount = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int eventsPerPackage = args.size() > 3 ? args.at(3).toInt() : 50;
    if (runs < 1 || packageCount < 1 || eventsPerPackage < 1)
        fail(QStringLiteral("usage: bench_startup [RUNS >= 1 [PACKAGES >= 1 [EVENTS_PER_PACKAGE >= 1]]]"));

    const QString dataDirectory = home + QStringLiteral("/.local/share/com.kestrove.app");
    const QString storePath = dataDirectory + QStringLiteral("/Kestrove.sqlite");
    if (!QFile::exists(storePath)) {
        // In a process of its own: the peak resident size that a started program reports through
        // wait4 includes this process's size at the time it was started.
        QDir().mkpath(dataDirectory);
        QProcess builder;
        builder.setProcessChannelMode(QProcess::ForwardedChannels);
        builder.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--build"), storePath, QString::number(packageCount), QString::number(eventsPerPackage)});
        if (!builder.waitForFinished(600000) || builder.exitStatus() != QProcess::NormalExit || builder.exitCode())
            fail(QStringLiteral("the store could not be built"));
    }
    {
        // A returning user: no introduction over the list.
        QSettings preferences(home + QStringLiteral("/.config/com.kestrove.app/Kestrove.conf"), QSettings::IniFormat);
        preferences.setValue(QStringLiteral("hasCompletedOnboarding"), true);
    }

    QList<double> bareFrames, bareMemory, appFrames, appStores, appMemory;
    for (int i = 0; i < runs; ++i) {
        const Run bare = runOnce(BARE_WINDOW_EXECUTABLE, false);
        const Run kestrove = runOnce(KESTROVE_EXECUTABLE, true);
        std::printf(
            "run %d: bare window %.1f ms, %.1f MB; Kestrove first frame %.1f ms, whole store %.1f ms, %.1f MB\n", i + 1,
            bare.firstFrameMs, bare.peakMb, kestrove.firstFrameMs, kestrove.storeLoadedMs, kestrove.peakMb);
        bareFrames.append(bare.firstFrameMs);
        bareMemory.append(bare.peakMb);
        appFrames.append(kestrove.firstFrameMs);
        appStores.append(kestrove.storeLoadedMs);
        appMemory.append(kestrove.peakMb);
    }
    std::printf("median first frame: bare window %.1f ms, Kestrove %.1f ms (ratio %.2f); whole store in %.1f ms\n",
                median(bareFrames), median(appFrames), median(appFrames) / median(bareFrames), median(appStores));
    std::printf("median peak RSS: bare window %.1f MB, Kestrove %.1f MB (%.1f MB above)\n", median(bareMemory),
                median(appMemory), median(appMemory) - median(bareMemory));
    return 0;
}
