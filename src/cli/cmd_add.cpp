#include "base/visibletext.h"
#include "cli/clicommand.h"
#include "cli/cliservices.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"
#include "providers/seventeentrackprovider.h"
#include "tracking/trackingservice.h"

#include <QPointer>

namespace
{
const auto synopsis = QStringLiteral("add NUMBER [--carrier CODE] [--label TEXT] [--notes TEXT]");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(
        QCommandLineOption(QStringLiteral("carrier"), QStringLiteral("carrier code"), QStringLiteral("CODE")));
    parser.addOption(QCommandLineOption(QStringLiteral("label"), QStringLiteral("label"), QStringLiteral("TEXT")));
    parser.addOption(QCommandLineOption(QStringLiteral("notes"), QStringLiteral("notes"), QStringLiteral("TEXT")));
    if (!Cli::parse(parser, invocation, QStringLiteral("add"), synopsis, 1, 1))
        co_return Cli::UsageError;
    const QString entered = parser.positionalArguments().constFirst();
    if (Package::normalizeTrackingNumber(entered).isEmpty())
        co_return Cli::fail(invocation, QStringLiteral("the tracking number is empty"), Cli::UsageError);

    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;

    const std::unique_ptr<TrackingService> service = invocation.services.makeTrackingService();

    // Arguments are named before co_await: GCC 12 destroys a ?: temporary inside a co_await
    // expression twice.
    const QString carrier = parser.value(QStringLiteral("carrier"));
    const QString label = parser.value(QStringLiteral("label"));
    const std::optional<QString> carrierCode = carrier.isEmpty() ? std::nullopt : std::optional(carrier);
    QPointer<Package> package = co_await service->addPackage(entered, label, carrierCode, *context);
    if (!package)
        co_return Cli::fail(invocation, QStringLiteral("the package could not be created"));
    if (parser.isSet(QStringLiteral("notes")))
        package->setNotes(parser.value(QStringLiteral("notes")));

    // The service ignores a failed save; here it is the command's failure, and nothing stays half-written.
    if (context->hasChanges()) {
        const auto saved = PackageStore::save(*context);
        if (!saved)
            co_return Cli::fail(invocation, saved.error().description());
    }

    // A real-time answer registers the number in the background; finishing that lets later
    // refreshes find stored data.
    if (auto *seventeenTrack = qobject_cast<SeventeenTrackProvider *>(service->provider()))
        co_await seventeenTrack->waitForBackgroundTasks();

    Cli::printPackageDetails(invocation.out, *package);
    invocation.out.flush();
    if (package->lastErrorMessage()) {
        invocation.err << "kestrove-cli: added " << visibleText(package->trackingNumber())
                       << ", but the first fetch failed: " << visibleText(*package->lastErrorMessage()) << '\n';
        invocation.err.flush();
    }
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("add"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("add a package and fetch its tracking data once"),
                      .order = 50,
                      .run = run})
