// Start-up of Kestrove against a bare Qt Widgets window, on a store of PACKAGES packages with
// EVENTS_PER_PACKAGE events each, built once in a private home.
//
//   bench_startup [RUNS [PACKAGES [EVENTS_PER_PACKAGE]]]      defaults 5, 10000 and 50
//
// The programs start in turn, RUNS times each: the bare window, the same window with a list of
// text (what fonts and text cost any window), and Kestrove; on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise. Each writes "first-frame NS" when its window has painted its
// first frame; Kestrove also writes "store-loaded NS" once every package is in memory. Measured:
// time from the start of the process to its first frame (and, for Kestrove, to the whole store),
// and the peak resident size of the process (wait4's ru_maxrss) after it is ended at that point.
// Prints every run, the medians, the ratio of the start times and the difference of the peaks.
// BENCH_STARTUP_HOME=DIR keeps the home (and its store, built once) in DIR, for profiling there.
#include "benchprocess.h"
#include "benchstore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

namespace
{
[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_startup: %s\n", qPrintable(what));
    std::exit(1);
}

struct Run {
    double firstFrameMs = 0;
    double storeLoadedMs = 0;
    double peakMb = 0;
};

/** Starts program, waits for its markers, ends it and collects its peak resident size. */
Run runOnce(const char *program, const char *argument, bool waitForStore)
{
    char *argv[] = {const_cast<char *>(program), const_cast<char *>(argument), nullptr};
    BenchProcess::Child child;
    if (!child.start(argv, qEnvironmentVariableIsSet("BENCH_STARTUP_VERBOSE")))
        fail(QStringLiteral("cannot start %1").arg(QString::fromLocal8Bit(program)));
    Run run;
    QByteArray output;
    const auto markerMs = [&](const QByteArray &marker) -> double {
        for (const QByteArray &line : output.split('\n')) {
            if (line.startsWith(QByteArray(marker + ' ')))
                return (line.mid(marker.size() + 1).toLongLong() - child.startedNs) / 1e6;
        }
        return 0;
    };
    while (run.firstFrameMs == 0 || (waitForStore && run.storeLoadedMs == 0)) {
        if (!child.read(output, 120000))
            fail(QStringLiteral("%1 did not report").arg(QString::fromLocal8Bit(program)));
        run.firstFrameMs = markerMs("first-frame");
        run.storeLoadedMs = markerMs("store-loaded");
    }
    run.peakMb = child.finish(true).second;
    return run;
}
}

using BenchProcess::median;

int main(int argc, char *argv[])
{
    QTemporaryDir temporaryHome;
    const QString home = BenchStore::privateHome("BENCH_STARTUP_HOME", temporaryHome);
    if (home.isEmpty())
        fail(QStringLiteral("no temporary folder"));
    qputenv("KESTROVE_REPORT_FIRST_FRAME", "1");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (BenchStore::isBuildRequest(args))
        return 0;
    const int runs = args.size() > 1 ? args.at(1).toInt() : 5;
    const int packageCount = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int eventsPerPackage = args.size() > 3 ? args.at(3).toInt() : 50;
    if (runs < 1 || packageCount < 1 || eventsPerPackage < 1)
        fail(QStringLiteral("usage: bench_startup [RUNS >= 1 [PACKAGES >= 1 [EVENTS_PER_PACKAGE >= 1]]]"));

    if (!BenchStore::ensureStore(home, packageCount, eventsPerPackage))
        fail(QStringLiteral("the store could not be built"));
    {
        // A returning user: no introduction over the list.
        QSettings preferences(home + QStringLiteral("/.config/com.kestrove.app/Kestrove.conf"), QSettings::IniFormat);
        preferences.setValue(QStringLiteral("hasCompletedOnboarding"), true);
    }

    QList<double> bareFrames, bareMemory, textFrames, appFrames, appStores, appMemory;
    for (int i = 0; i < runs; ++i) {
        const Run bare = runOnce(BARE_WINDOW_EXECUTABLE, nullptr, false);
        const Run text = runOnce(BARE_WINDOW_EXECUTABLE, "--text", false);
        const Run kestrove = runOnce(KESTROVE_EXECUTABLE, nullptr, true);
        std::printf("run %d: bare window %.1f ms, %.1f MB; window of text %.1f ms; Kestrove first frame %.1f ms, "
                    "whole store %.1f ms, %.1f MB\n",
                    i + 1, bare.firstFrameMs, bare.peakMb, text.firstFrameMs, kestrove.firstFrameMs,
                    kestrove.storeLoadedMs, kestrove.peakMb);
        textFrames.append(text.firstFrameMs);
        bareFrames.append(bare.firstFrameMs);
        bareMemory.append(bare.peakMb);
        appFrames.append(kestrove.firstFrameMs);
        appStores.append(kestrove.storeLoadedMs);
        appMemory.append(kestrove.peakMb);
    }
    std::printf("median first frame: bare window %.1f ms, Kestrove %.1f ms (ratio %.2f); whole store in %.1f ms\n",
                median(bareFrames), median(appFrames), median(appFrames) / median(bareFrames), median(appStores));
    std::printf("median first frame of a window of text (tool bar, heading, sixty rows): %.1f ms (%.2f times the bare "
                "window; Kestrove %.2f times it)\n",
                median(textFrames), median(textFrames) / median(bareFrames), median(appFrames) / median(textFrames));
    std::printf("median peak RSS: bare window %.1f MB, Kestrove %.1f MB (%.1f MB above)\n", median(bareMemory),
                median(appMemory), median(appMemory) - median(bareMemory));
    return 0;
}
