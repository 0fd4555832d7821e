#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "services/csvservice.h"

#include <QFile>
#include <QSet>

namespace
{
const auto synopsis = QStringLiteral("import FILE");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, QStringLiteral("import"), synopsis, 1, 1))
        co_return Cli::UsageError;
    const QString path = parser.positionalArguments().constFirst();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        co_return Cli::fail(invocation, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    const auto text = CSVService::decodeUtf8(file.readAll());
    if (!text)
        co_return Cli::fail(invocation, QStringLiteral("cannot read %1: %2").arg(path, text.error()));

    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;
    const auto stored = context->fetchPackages();
    if (!stored)
        co_return Cli::fail(invocation, stored.error().description);
    QSet<QString> existing;
    existing.reserve(stored.value().size());
    for (const Package *package : stored.value())
        existing.insert(package->trackingNumber());

    const auto result = CSVService::importCSV(text.value(), existing, context);
    if (!result)
        co_return Cli::fail(invocation, result.error().errorDescription());
    // The application saves once and ignores a failure; here the user must hear of it.
    if (context->hasChanges())
        co_return Cli::fail(invocation, QStringLiteral("the imported packages could not be saved"));
    invocation.out << CSVService::resultMessage(result.value().imported.size(), result.value().skippedCount) << '\n';
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("import"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("import packages from a CSV file, skipping numbers already stored"),
                      .order = 120,
                      .run = run})
