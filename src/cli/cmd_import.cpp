#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "services/csvservice.h"

#include <QFile>
#include <QSet>

#include <utility>

namespace
{
const auto synopsis = QStringLiteral("import FILE");
/** Rows saved per transaction. */
constexpr int batchSize = 2000;

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, QStringLiteral("import"), synopsis, 1, 1))
        co_return Cli::UsageError;
    const QString path = parser.positionalArguments().constFirst();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        co_return Cli::fail(invocation, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    const auto cannotRead = [&](const QString &why) {
        return Cli::fail(invocation, QStringLiteral("cannot read %1: %2").arg(path, why));
    };

    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;
    QSet<QString> existing;
    {
        const auto stored = context->fetchPackages();
        if (!stored)
            co_return Cli::fail(invocation, stored.error().description);
        for (const Package *package : stored.value())
            existing.insert(package->trackingNumber());
    }

    // A file that turns out not to be CSV halfway through must change nothing, so a regular file
    // is checked whole first; a pipe can only be read once.
    if (!file.isSequential()) {
        auto checked = CSVService::readImportRows(
            file, existing, [](const CSVService::ImportRow &) { return Result<void, QString>(); });
        if (!checked)
            co_return cannotRead(checked.error());
        if (!file.seek(0))
            co_return cannotRead(file.errorString());
    }

    // Saved batch by batch, each batch through a context of its own that reads nothing and is gone
    // after its save, so memory holds one batch however big the file; and no single transaction
    // holds the store's write lock from everyone else for the whole import.
    std::unique_ptr<ModelContext> batch;
    int pending = 0;
    int imported = 0;
    const auto saveBatch = [&]() -> Result<void, QString> {
        if (batch) {
            if (auto saved = batch->save(); !saved)
                return Result<void, QString>::failure(saved.error().description);
            imported += std::exchange(pending, 0);
            batch.reset();
        }
        return {};
    };
    auto skipped
        = CSVService::readImportRows(file, existing, [&](const CSVService::ImportRow &row) -> Result<void, QString> {
              if (!batch) {
                  auto opened = ModelContext::openForInserting(context->storePath());
                  if (!opened)
                      return Result<void, QString>::failure(opened.error().description);
                  batch = std::move(opened).value();
              }
              batch->insert(CSVService::makePackage(row));
              return ++pending < batchSize ? Result<void, QString>() : saveBatch();
          });
    if (skipped) {
        if (auto saved = saveBatch(); !saved)
            skipped = Result<int, QString>::failure(saved.error());
    }
    if (!skipped) {
        if (imported == 0)
            co_return Cli::fail(invocation, skipped.error());
        co_return Cli::fail(
            invocation,
            QStringLiteral("the import stopped after %1 package(s): %2").arg(imported).arg(skipped.error()));
    }
    invocation.out << CSVService::resultMessage(imported, skipped.value()) << '\n';
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("import"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("import packages from a CSV file, skipping numbers already stored"),
                      .order = 120,
                      .run = run})
