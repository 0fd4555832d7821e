#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/package.h"
#include "model/packagejson.h"

namespace
{
const auto synopsis = QStringLiteral("show NUMBER [--json]");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("JSON output")));
    if (!Cli::parse(parser, invocation, QStringLiteral("show"), synopsis, 1, 1))
        co_return Cli::UsageError;
    int exitCode = Cli::Failure;
    const auto found = Cli::findNumberedPackages(invocation, parser, exitCode);
    if (!found)
        co_return exitCode;

    // The number is not unique in the store; the newest package stands for it.
    const Package &package = *found->packages.constFirst();
    if (parser.isSet(QStringLiteral("json"))) {
        Cli::printJson(invocation, PackageJson::toJson(package, PackageJson::Events::newestFirst));
        co_return Cli::Success;
    }
    Cli::printPackageDetails(invocation.out, package);
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("show"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("show one package with its events, newest first"),
                      .order = 70,
                      .run = run})
