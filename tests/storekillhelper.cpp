// Child process of StoreTest: writes to a store from another process.
// Usage: storekillhelper STORE_PATH hook|plain PACKAGE_COUNT  (starts a large save; the parent kills it)
//        storekillhelper STORE_PATH edit NUMBER pinned|archived|label VALUE  (one edit, saved, clean exit)
//        storekillhelper STORE_PATH hold MILLISECONDS  (holds the write lock that long inside a save, then commits)
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/trackingevent.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimeZone>

#include <cstdio>

namespace
{
int edit(ModelContext &context, const QString &number, const QString &property, const QString &value)
{
    auto fetched = context.fetchPackages([&](const Package &p) { return p.trackingNumber() == number; });
    if (!fetched || fetched.value().isEmpty())
        return 5;
    Package *package = fetched.value().first();
    if (property == QLatin1String("pinned"))
        package->setPinned(value == QLatin1String("true"));
    else if (property == QLatin1String("archived"))
        package->setArchived(value == QLatin1String("true"));
    else if (property == QLatin1String("label"))
        package->setLabel(value);
    else
        return 2;
    if (auto saved = context.save(); !saved) {
        std::fprintf(stderr, "%s\n", qPrintable(saved.error().fullDescription()));
        return 1;
    }
    return 0;
}

int hold(ModelContext &context, int milliseconds)
{
    context.insert(new Package(QStringLiteral("HELD"), QStringLiteral("ups")));
    context.setBeforeCommitHook([milliseconds] {
        std::fputs("LOCKED\n", stdout);
        std::fflush(stdout);
        QThread::msleep(milliseconds);
    });
    if (auto saved = context.save(); !saved) {
        std::fprintf(stderr, "%s\n", qPrintable(saved.error().fullDescription()));
        return 1;
    }
    std::fputs("RELEASED\n", stdout);
    return 0;
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool editing = args.size() == 6 && args.at(2) == QLatin1String("edit");
    if (args.size() != 4 && !editing)
        return 2;
    const bool holding = args.at(2) == QLatin1String("hold");
    auto opened = ModelContext::open(args.at(1));
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error().fullDescription()));
        return 3;
    }
    ModelContext &context = *opened.value();
    if (editing)
        return edit(context, args.at(3), args.at(4), args.at(5));
    if (holding)
        return hold(context, args.at(3).toInt());

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
