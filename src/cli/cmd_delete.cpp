#include "base/visibletext.h"
#include "cli/clicommand.h"
#include "cli/clistore.h"
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
    int exitCode = Cli::Failure;
    const auto found = Cli::findNumberedPackages(invocation, parser, exitCode);
    if (!found)
        co_return exitCode;

    // Every package with the number goes, with its events and out of its groups; no confirmation,
    // as in the list's context menu.
    const auto deleted = PackageStore::deletePackages(found->packages, *found->context);
    if (!deleted)
        co_return Cli::fail(invocation, deleted.error().description());
    invocation.out << "Deleted " << visibleText(found->trackingNumber) << ".\n";
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("delete"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("delete a package with its events"),
                      .order = 110,
                      .run = run})
