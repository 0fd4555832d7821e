#include "base/visibletext.h"
#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/package.h"
#include "model/packagestore.h"

namespace
{
/** A "COMMAND NUMBER" that sets one flag of the packages, as the list's context menu does. */
struct FlagCommand {
    const char *name;
    bool (Package::*get)() const;
    void (Package::*set)(bool);
    bool value;
    const char *done; // "Archived"
    const char *unchanged; // " is already archived."
};

/** Sets the flag on every package with the number and saves only that change, so another process's edits stay. */
QCoro::Task<int> setFlag(Cli::Invocation &invocation, FlagCommand command)
{
    const QString name = QString::fromLatin1(command.name);
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, name, name + QStringLiteral(" NUMBER"), 1, 1))
        co_return Cli::UsageError;
    int exitCode = Cli::Failure;
    const auto found = Cli::findNumberedPackages(invocation, parser, exitCode);
    if (!found)
        co_return exitCode;

    bool changed = false;
    for (Package *package : found->packages) {
        changed = changed || (package->*command.get)() != command.value;
        (package->*command.set)(command.value);
    }
    if (!changed) {
        invocation.out << visibleText(found->trackingNumber) << command.unchanged << '\n';
        invocation.out.flush();
        co_return Cli::Success;
    }
    const auto saved = PackageStore::save(*found->context);
    if (!saved)
        co_return Cli::fail(invocation, saved.error().description());
    invocation.out << command.done << ' ' << visibleText(found->trackingNumber) << ".\n";
    invocation.out.flush();
    co_return Cli::Success;
}

Cli::Command flagCommand(FlagCommand command, const char *summary, int order)
{
    const QString name = QString::fromLatin1(command.name);
    return {.name = name,
            .synopsis = name + QStringLiteral(" NUMBER"),
            .summary = QString::fromLatin1(summary),
            .order = order,
            .run = [command](Cli::Invocation &invocation) { return setFlag(invocation, command); }};
}
}

KESTROVE_CLI_COMMAND(flagCommand({"archive", &Package::isArchived, &Package::setArchived, true, "Archived",
                                  " is already archived."},
                                 "archive a package", 90))
KESTROVE_CLI_COMMAND(flagCommand({"unarchive", &Package::isArchived, &Package::setArchived, false, "Unarchived",
                                  " is not archived."},
                                 "bring an archived package back", 91))
KESTROVE_CLI_COMMAND(flagCommand({"pin", &Package::isPinned, &Package::setPinned, true, "Pinned",
                                  " is already pinned."},
                                 "pin a package to the top of the list", 100))
KESTROVE_CLI_COMMAND(flagCommand({"unpin", &Package::isPinned, &Package::setPinned, false, "Unpinned",
                                  " is not pinned."},
                                 "unpin a package", 101))
