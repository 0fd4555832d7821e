#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"

namespace
{
/** Pins or unpins every package with the number, as the list's context menu does, saving only that change. */
QCoro::Task<int> setPinned(Cli::Invocation &invocation, bool pinned)
{
    const QString name = pinned ? QStringLiteral("pin") : QStringLiteral("unpin");
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
        changed = changed || package->isPinned() != pinned;
        package->setPinned(pinned);
    }
    if (!changed) {
        invocation.out << trackingNumber << (pinned ? " is already pinned.\n" : " is not pinned.\n");
        invocation.out.flush();
        co_return Cli::Success;
    }
    const auto saved = PackageStore::save(*context);
    if (!saved)
        co_return Cli::fail(invocation, saved.error().description());
    invocation.out << (pinned ? "Pinned " : "Unpinned ") << trackingNumber << ".\n";
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("pin"),
                      .synopsis = QStringLiteral("pin NUMBER"),
                      .summary = QStringLiteral("pin a package to the top of the list"),
                      .order = 100,
                      .run = [](Cli::Invocation &invocation) { return setPinned(invocation, true); }})
KESTROVE_CLI_COMMAND({.name = QStringLiteral("unpin"),
                      .synopsis = QStringLiteral("unpin NUMBER"),
                      .summary = QStringLiteral("unpin a package"),
                      .order = 101,
                      .run = [](Cli::Invocation &invocation) { return setPinned(invocation, false); }})
