#pragma once

#include "cli/clicommand.h"

#include <QList>
#include <QString>
#include <QTextStream>

#include <optional>

class ModelContext;
class Package;

/** What the store commands share: opening the store, finding packages, and their text forms. */
namespace Cli
{
/**
 * The shared store of this process. On failure prints "Could not create ModelContainer: " and
 * the error to standard error and returns nullptr; the command then exits with Failure.
 */
[[nodiscard]] ModelContext *openStore(Invocation &invocation);

/**
 * Packages whose tracking number is the given one, or failing that the given one upper-cased
 * without spaces and hyphens (how numbers are stored); newest first.
 */
[[nodiscard]] QList<Package *> findPackages(ModelContext &context, const QString &number);

/** The list order before any filter: pinned first, then newest dateAdded first. */
[[nodiscard]] bool listOrder(const Package &a, const Package &b);

/** The packages a "COMMAND NUMBER" command acts on, with the store they live in. */
struct NumberedPackages {
    ModelContext *context = nullptr;
    QString trackingNumber; // as stored
    QList<Package *> packages; // newest first, never empty
};

/**
 * Opens the store and finds the packages with the parser's one positional NUMBER. On failure
 * prints why (store error, "No package with tracking number N") and sets exitCode.
 */
[[nodiscard]] std::optional<NumberedPackages> findNumberedPackages(Invocation &invocation,
                                                                   const QCommandLineParser &parser, int &exitCode);

/** A date as local "yyyy-MM-dd HH:mm", or "-" when absent. */
[[nodiscard]] QString shortDate(const QDateTime &date);

/** One aligned line per package: pin mark, number, status, carrier, label. */
void printPackageTable(QTextStream &out, const QList<Package *> &packages);

/** Every property of one package, then its events newest first. */
void printPackageDetails(QTextStream &out, const Package &package);
}
