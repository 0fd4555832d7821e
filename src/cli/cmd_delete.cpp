#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"

namespace
{
const auto synopsis = QStringLiteral("delete NUMBER");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, QStringLiteral("delete"), synopsis, 1, 1))
        co_return Cli::UsageError;
    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;
    const QString number = parser.positionalArguments().constFirst();
    const QList<Package *> found = Cli::findPackages(*context, number);
    if (found.isEmpty())
        co_return Cli::fail(invocation, QStringLiteral("No package with tracking number ") + number);

    // Every package with the number goes, with its events and out of its groups; no confirmation,
    // as in the list's context menu.
    const QString trackingNumber = found.constFirst()->trackingNumber();
    const auto deleted = PackageStore::deletePackages(found, *context);
    if (!deleted)
        co_return Cli::fail(invocation, deleted.error().description());
    invocation.out << "Deleted " << trackingNumber << ".\n";
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("delete"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("delete a package with its events"),
                      .order = 110,
                      .run = run})
