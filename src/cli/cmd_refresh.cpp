#include "base/visibletext.h"
#include "cli/clicommand.h"
#include "cli/cliservices.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"
#include "providers/seventeentrackprovider.h"
#include "tracking/trackingservice.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <unistd.h>

namespace
{
const auto synopsis = QStringLiteral("refresh [NUMBER]");

/** A one-line "Refreshing ..." with the elapsed seconds on a terminal's standard error; silent elsewhere. */
class Progress
{
public:
    Progress(QTextStream &err, const QString &what)
        : m_err(err)
        , m_what(what)
        , m_active(::isatty(STDERR_FILENO) == 1)
    {
        if (!m_active)
            return;
        m_elapsed.start();
        draw();
        m_timer.setInterval(1000);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { draw(); });
        m_timer.start();
    }
    ~Progress() { clear(); }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    /** Removes the line, so that results print on a clean line. */
    void clear()
    {
        if (!m_active)
            return;
        m_timer.stop();
        m_err << "\r\033[K";
        m_err.flush();
        m_active = false;
    }

private:
    void draw()
    {
        m_err << '\r' << m_what << QStringLiteral("\u2026 %1 s").arg(m_elapsed.elapsed() / 1000) << "\033[K";
        m_err.flush();
    }

    QTextStream &m_err;
    QString m_what;
    bool m_active;
    QElapsedTimer m_elapsed;
    QTimer m_timer;
};

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, QStringLiteral("refresh"), synopsis, 0, 1))
        co_return Cli::UsageError;
    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;

    QList<QPointer<Package>> packages;
    const bool single = !parser.positionalArguments().isEmpty();
    if (single) {
        const QString number = parser.positionalArguments().constFirst();
        const QList<Package *> found = Cli::findPackages(*context, number);
        if (found.isEmpty())
            co_return Cli::fail(invocation, QStringLiteral("No package with tracking number ") + number);
        for (Package *package : found)
            packages.append(package);
    } else {
        auto fetched
            = context->fetchPackages([](const Package &package) { return package.isActive(); }, Cli::listOrder);
        if (!fetched)
            co_return Cli::fail(invocation, fetched.error().description);
        if (fetched.value().isEmpty()) {
            invocation.out << "No active packages to refresh.\n";
            invocation.out.flush();
            co_return Cli::Success;
        }
        for (Package *package : std::as_const(fetched.value()))
            packages.append(package);
    }

    const std::unique_ptr<TrackingService> service = invocation.services.makeTrackingService();

    QStringList changes;
    QObject::connect(service.get(), &TrackingService::statusChanged, service.get(),
                     [&changes](Package *package, TrackingStatus oldStatus, TrackingStatus newStatus) {
                         changes.append(package->trackingNumber() + QStringLiteral(": ")
                                        + TrackingStatuses::displayName(oldStatus) + QStringLiteral(" \u2192 ")
                                        + TrackingStatuses::displayName(newStatus));
                     });

    {
        Progress progress(invocation.err,
                          single ? QStringLiteral("Refreshing %1").arg(packages.constFirst()->trackingNumber())
                                 : QStringLiteral("Refreshing %1 package(s)").arg(packages.size()));
        if (single) {
            for (const QPointer<Package> &package : std::as_const(packages)) {
                if (package)
                    co_await service->refreshPackage(package, *context);
            }
        } else {
            co_await service->refreshAll(*context);
        }
        if (auto *seventeenTrack = qobject_cast<SeventeenTrackProvider *>(service->provider()))
            co_await seventeenTrack->waitForBackgroundTasks();
    }

    if (context->hasChanges()) {
        const auto saved = PackageStore::save(*context);
        if (!saved)
            co_return Cli::fail(invocation, saved.error().description());
    }
    if (service->errorMessage())
        co_return Cli::fail(invocation, *service->errorMessage());

    for (const QString &change : std::as_const(changes))
        invocation.out << visibleText(change) << '\n';
    int failures = 0;
    int refreshed = 0;
    for (const QPointer<Package> &package : std::as_const(packages)) {
        if (!package || package->isDeleted())
            continue;
        if (package->lastErrorMessage()) {
            ++failures;
            invocation.err << "kestrove-cli: " << visibleText(package->trackingNumber()) << ": "
                           << visibleText(*package->lastErrorMessage()) << '\n';
        } else {
            ++refreshed;
        }
    }
    invocation.out << QStringLiteral("Refreshed %1 package(s), %2 changed, %3 failed.\n")
                          .arg(refreshed)
                          .arg(changes.size())
                          .arg(failures);
    invocation.out.flush();
    invocation.err.flush();
    co_return failures > 0 ? Cli::Failure : Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("refresh"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("refresh one package, or every active one"),
                      .order = 80,
                      .run = run})
