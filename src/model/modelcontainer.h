#pragma once

#include "base/result.h"
#include "model/modelcontext.h"

#include <QString>

#include <memory>

/** Where the store lives and the one shared store of the process. */
namespace ModelContainer
{
/** The application-support folder, DataDirectory::path() (created owner-only; a failure is ignored). */
[[nodiscard]] QString defaultDirectory();
/** defaultDirectory() + "/Kestrove.sqlite" */
[[nodiscard]] QString defaultStorePath();
/** For openShared(): read every package at once. */
constexpr int wholeStore = -1;
/**
 * Opens or creates the shared store once per process; the error is the store's description. With
 * firstPackages of 0 or more only that many packages are read at once (ModelContext::openProgressively()).
 */
[[nodiscard]] Result<ModelContext *, QString> openShared(int firstPackages = wholeStore);
/** The shared main context after openShared() succeeded, else nullptr. */
[[nodiscard]] ModelContext *sharedContext();
/** A separate context on the store at path (tests, the command-line front end, benchmarks). */
[[nodiscard]] Result<std::unique_ptr<ModelContext>, QString> open(const QString &path);
}
