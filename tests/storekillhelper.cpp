// Child process of StoreTest: starts a large save on a store and is killed in the middle of it.
// Usage: storekillhelper STORE_PATH hook|plain PACKAGE_COUNT
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/trackingevent.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimeZone>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    auto opened = ModelContext::open(args.at(1));
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error().fullDescription()));
        return 3;
    }
    ModelContext &context = *opened.value();
    const QList<Package *> baseline = context.fetchPackages().value();
    if (baseline.size() < 2)
        return 4;
    baseline.first()->setLabel(QStringLiteral("changed by the killed save"));
    context.remove(baseline.last());

    const int count = args.at(3).toInt();
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        auto *package = new Package(QStringLiteral("KILL%1").arg(i), QStringLiteral("usps"));
        context.insert(package);
        for (int e = 0; e < 50; ++e) {
            package->appendEvent(std::make_unique<TrackingEvent>(
                start.addSecs(e * 3600), TrackingStatus::inTransit,
                QStringLiteral("Arrived at a sorting facility with a rather long description %1").arg(e),
                QStringLiteral("Somewhere, XX"), QStringLiteral("IT")));
        }
    }

    if (args.at(2) == QLatin1String("hook")) {
        context.setBeforeCommitHook([] {
            std::fputs("COMMITTING\n", stdout);
            std::fflush(stdout);
            QThread::sleep(600); // the parent kills us here
        });
    } else {
        std::fputs("SAVING\n", stdout);
        std::fflush(stdout);
    }
    const bool saved = context.save().ok();
    std::fputs(saved ? "SAVED\n" : "FAILED\n", stdout);
    return saved ? 0 : 1;
}
