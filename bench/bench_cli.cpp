// kestrove-cli on a large store: commands about one package, and listings of a few of its packages.
//
//   bench_cli [PACKAGES [EVENTS_PER_PACKAGE [RUNS]]]      defaults 100000, 5 and 3
//
// Builds the store once in a private home, then runs each command RUNS times and prints its
// median wall time (from the start of the process to its end) and peak resident size (wait4).
// BENCH_CLI_EXECUTABLE=PATH measures another build of kestrove-cli; BENCH_CLI_HOME=DIR keeps the
// home (and its store) in DIR.
#include "benchprocess.h"
#include "benchstore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using BenchProcess::median;

int main(int argc, char *argv[])
{
    QTemporaryDir temporaryHome;
    const QString home = BenchStore::privateHome("BENCH_CLI_HOME", temporaryHome);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (BenchStore::isBuildRequest(args))
        return 0;
    const int packageCount = args.size() > 1 ? args.at(1).toInt() : 100000;
    const int eventsPerPackage = args.size() > 2 ? args.at(2).toInt() : 5;
    const int runs = args.size() > 3 ? args.at(3).toInt() : 3;
    if (packageCount < 2 || eventsPerPackage < 1 || runs < 1 || home.isEmpty()) {
        std::fprintf(stderr, "usage: bench_cli [PACKAGES >= 2 [EVENTS_PER_PACKAGE >= 1 [RUNS >= 1]]]\n");
        return 1;
    }
    if (!BenchStore::ensureStore(home, packageCount, eventsPerPackage)) {
        std::fprintf(stderr, "bench_cli: the store could not be built\n");
        return 1;
    }

    const QByteArray cli = qEnvironmentVariableIsSet("BENCH_CLI_EXECUTABLE") ? qgetenv("BENCH_CLI_EXECUTABLE")
                                                                             : QByteArray(KESTROVE_CLI_EXECUTABLE);
    const QByteArray number = BenchStore::trackingNumber(packageCount / 2).toLatin1();
    const QByteArray last = BenchStore::trackingNumber(packageCount - 1).toLatin1();
    const QList<QList<QByteArray>> commands = {
        {"show", number},
        {"show", number, "--json"},
        {"pin", number},
        {"unpin", number},
        {"archive", number},
        {"unarchive", number},
        {"list", "--search", number},
        // Listings read only the rows they show: an eighth of the store, then a few group members.
        {"list", "--filter", "archived"},
        {"list", "--group", "Group 5", "--search", "Package 4242"},
    };
    std::printf("kestrove-cli on %d packages x %d events, median of %d runs:\n", packageCount, eventsPerPackage, runs);
    const auto measure = [&](QList<QByteArray> command, int times) {
        QList<double> ms, mb;
        for (int i = 0; i < times; ++i) {
            QList<QByteArray> words = {cli};
            words += command;
            std::vector<char *> argvOfChild;
            for (QByteArray &word : words)
                argvOfChild.push_back(word.data());
            argvOfChild.push_back(nullptr);
            BenchProcess::Child child;
            if (!child.start(argvOfChild.data(), false)) {
                std::fprintf(stderr, "bench_cli: cannot start %s\n", cli.constData());
                std::exit(1);
            }
            QByteArray output;
            while (child.read(output, 600000)) { }
            const auto [exitCode, peakMb] = child.finish(false);
            ms.append((BenchProcess::monotonicNs() - child.startedNs) / 1e6);
            mb.append(peakMb);
            if (exitCode != 0)
                std::fprintf(stderr, "bench_cli: %s exited with %d\n", command.join(' ').constData(), exitCode);
        }
        std::printf("  %-40s %8.1f ms %8.1f MB\n", command.join(' ').constData(), median(ms), median(mb));
    };
    for (const QList<QByteArray> &command : commands)
        measure(command, runs);
    measure({"delete", last}, 1); // once: the package is gone afterwards
    return 0;
}
