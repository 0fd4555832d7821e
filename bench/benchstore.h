#pragma once
// The store the start-up and command-line benchmarks measure against.

#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace BenchStore
{
/** The tracking number of the package numbered index. */
inline QString trackingNumber(int index)
{
    return QStringLiteral("BENCH%1XY").arg(index, 10, 10, QLatin1Char('0'));
}

/** Six groups, "Group 0" to "Group 5", inserted into the context. */
inline QList<PackageGroup *> addGroups(ModelContext &context)
{
    QList<PackageGroup *> groups;
    for (int i = 0; i < 6; ++i) {
        auto *group = new PackageGroup(QStringLiteral("Group %1").arg(i), PackageGroup::colorPalette().at(i).hex, i);
        context.insert(group);
        groups.append(group);
    }
    return groups;
}

/** Builds a store of packageCount packages with eventsPerPackage events each, in six groups; exits on failure. */
inline void build(const QString &path, int packageCount, int eventsPerPackage)
{
    QElapsedTimer timer;
    timer.start();
    auto opened = ModelContext::open(path);
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error().fullDescription()));
        std::exit(1);
    }
    ModelContext &context = *opened.value();
    const QList<PackageGroup *> groups = addGroups(context);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime start = now.addSecs(-qint64(packageCount) * 600);
    const TrackingStatus statuses[]
        = {TrackingStatus::inTransit, TrackingStatus::outForDelivery, TrackingStatus::pending,
           TrackingStatus::failedAttempt, TrackingStatus::exception};
    for (int p = 0; p < packageCount; ++p) {
        // Delivered packages were all updated just now, so the retention clean-up keeps them.
        const bool delivered = p % 4 == 0;
        const TrackingStatus status = delivered ? TrackingStatus::delivered : statuses[p % 5];
        auto *package = new Package(trackingNumber(p), p % 3 ? QStringLiteral("usps") : QStringLiteral("dhl"),
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
    if (auto saved = context.save(); !saved) {
        std::fprintf(stderr, "%s\n", qPrintable(saved.error().fullDescription()));
        std::exit(1);
    }
    std::printf("store: %d packages x %d events built in %lld ms\n", packageCount, eventsPerPackage,
                static_cast<long long>(timer.elapsed()));
}

/** Points HOME and the XDG folders of this process and the programs it starts at home; no outside address is reachable.
 */
inline void usePrivateHome(const QString &home)
{
    const QByteArray root = QFile::encodeName(home);
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_CACHE_HOME", root + "/.cache");
    qputenv("KESTROVE_17TRACK_BASE_URL", "http://127.0.0.1:9");
    qputenv("KESTROVE_UPDATE_MANIFEST_URL", "http://127.0.0.1:9/update.json");
    qputenv("KESTROVE_TILE_URL", "http://127.0.0.1:9/{z}/{x}/{y}.png");
    qputenv("KESTROVE_GEOCODER_URL", "http://127.0.0.1:9");
}

/**
 * The benchmark's home: the folder the variable names (kept between runs, for profiling there)
 * or else the temporary one; made private with usePrivateHome(). Empty when neither exists.
 */
inline QString privateHome(const char *variable, const QTemporaryDir &temporary)
{
    const QString home = qEnvironmentVariableIsSet(variable) ? qEnvironmentVariable(variable) : temporary.path();
    if (!home.isEmpty())
        usePrivateHome(home);
    return home;
}

/** Builds the store when args are those that ensureStore() starts this program with. */
inline bool isBuildRequest(const QStringList &args)
{
    if (args.size() != 5 || args.at(1) != QLatin1String("--build"))
        return false;
    build(args.at(2), args.at(3).toInt(), args.at(4).toInt());
    return true;
}

/**
 * Builds the store under home unless it is there. In a process of its own (this program with
 * --build): the peak resident size that a started program reports through wait4 includes the
 * size of the process that started it, which must therefore stay small.
 */
inline bool ensureStore(const QString &home, int packageCount, int eventsPerPackage)
{
    const QString dataDirectory = home + QStringLiteral("/.local/share/com.kestrove.app");
    const QString storePath = dataDirectory + QStringLiteral("/Kestrove.sqlite");
    if (QFile::exists(storePath))
        return true;
    QDir().mkpath(dataDirectory);
    QProcess builder;
    builder.setProcessChannelMode(QProcess::ForwardedChannels);
    builder.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--build"), storePath, QString::number(packageCount), QString::number(eventsPerPackage)});
    return builder.waitForFinished(1800000) && builder.exitStatus() == QProcess::NormalExit && builder.exitCode() == 0;
}
}
