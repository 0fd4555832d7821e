#include "base/atomicfile.h"
#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "services/csvservice.h"

namespace
{
const auto synopsis = QStringLiteral("export [FILE]");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, QStringLiteral("export"), synopsis, 0, 1))
        co_return Cli::UsageError;

    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;
    // Every package, archived ones included, most recently updated first: the main window's order.
    const auto packages = context->fetchPackages(
        {}, [](const Package &a, const Package &b) { return a.lastUpdated() > b.lastUpdated(); });
    if (!packages)
        co_return Cli::fail(invocation, packages.error().description);
    const QString csv = CSVService::exportPackages(packages.value());

    if (parser.positionalArguments().isEmpty()) {
        invocation.out << csv << '\n';
        invocation.out.flush();
        co_return Cli::Success;
    }
    const QString path = parser.positionalArguments().constFirst();
    // Written whole or not at all: on a full disk the old file stays.
    if (auto written = writeFileAtomically(path, csv.toUtf8()); !written)
        co_return Cli::fail(invocation, QStringLiteral("cannot write %1: %2").arg(path, written.error()));
    invocation.out << "Exported " << packages.value().size() << " package(s) to " << path << '\n';
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("export"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("write every package as CSV to a file, or to standard output"),
                      .order = 125,
                      .run = run})
