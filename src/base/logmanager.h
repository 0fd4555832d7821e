#pragma once

#include <QString>

#include <functional>

/** One-line messages to the system journal, under Kestrove's subsystem and category. */
namespace LogManager
{
inline constexpr auto subsystem = "com.kestrove.app";
inline constexpr auto category = "Kestrove";

/** Writes one message at the default (notice) level; never redacted. */
void log(const QString &message);

/**
 * Whether messages go to standard error when no journal is reachable (the default). The command
 * line turns it off on a terminal, where its own error message already says what happened.
 */
void setStandardErrorFallback(bool enabled);

/** Test seam: also hands every message to the given function (empty function removes it). */
void setObserver(std::function<void(const QString &)> observer);
}
