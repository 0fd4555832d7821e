#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

/** What a drop of text onto the main window offers as tracking numbers. */
namespace TrackingNumberDrop
{
/** The dropped bytes as text; nothing when they are not valid UTF-8. */
[[nodiscard]] std::optional<QString> decode(const QByteArray &bytes);

/**
 * The candidates in the text, in order: it is split at white space and line breaks, each piece
 * is trimmed of punctuation at both ends, upper-cased and stripped of spaces and hyphens; a
 * piece of at least 8 letters and digits (and nothing else) is a candidate.
 */
[[nodiscard]] QStringList candidates(const QString &text);
}
