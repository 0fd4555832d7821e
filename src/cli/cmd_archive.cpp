#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"

namespace
{
/**
 * Archives or unarchives every package with the number, as the list's context menu does, and
 * saves only that change (another process's edits of other fields stay).
 */
QCoro::Task<int> setArchived(Cli::Invocation &invocation, bool archived)
{
    const QString name = archived ? QStringLiteral("archive") : QStringLiteral("unarchive");
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, name, name + QStringLiteral(" NUMBER"), 1, 1))
        co_return Cli::UsageError;
    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;
    const QString number = parser.positionalArguments().constFirst();
    const QList<Package *> found = Cli::findPackages(*context, number);
    if (found.isEmpty())
        co_return Cli::fail(invocation, QStringLiteral("No package with tracking number ") + number);

    const QString trackingNumber = found.constFirst()->trackingNumber();
    bool changed = false;
    for (Package *package : found) {
        changed = changed || package->isArchived() != archived;
        package->setArchived(archived);
    }
    if (!changed) {
        invocation.out << trackingNumber << (archived ? " is already archived.\n" : " is not archived.\n");
        invocation.out.flush();
        co_return Cli::Success;
    }
    const auto saved = PackageStore::save(*context);
    if (!saved)
        co_return Cli::fail(invocation, saved.error().description());
    invocation.out << (archived ? "Archived " : "Unarchived ") << trackingNumber << ".\n";
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("archive"),
                      .synopsis = QStringLiteral("archive NUMBER"),
                      .summary = QStringLiteral("archive a package"),
                      .order = 90,
                      .run = [](Cli::Invocation &invocation) { return setArchived(invocation, true); }})
KESTROVE_CLI_COMMAND({.name = QStringLiteral("unarchive"),
                      .synopsis = QStringLiteral("unarchive NUMBER"),
                      .summary = QStringLiteral("bring an archived package back"),
                      .order = 91,
                      .run = [](Cli::Invocation &invocation) { return setArchived(invocation, false); }})
