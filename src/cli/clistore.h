#pragma once

#include "cli/clicommand.h"

#include <QList>
#include <QString>
#include <QTextStream>

class ModelContext;
class Package;

/** What the store commands share: opening the store, finding packages, and their text forms. */
namespace Cli {
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

/** A date as local "yyyy-MM-dd HH:mm", or "-" when absent. */
[[nodiscard]] QString shortDate(const QDateTime &date);

/** One aligned line per package: pin mark, number, status, carrier, label. */
void printPackageTable(QTextStream &out, const QList<Package *> &packages);

/** Every property of one package, then its events newest first. */
void printPackageDetails(QTextStream &out, const Package &package);
}
