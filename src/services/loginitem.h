#pragma once

#include "base/result.h"

#include <QString>

/**
 * Launch at login as an XDG autostart entry: ~/.config/autostart/com.kestrove.app.desktop,
 * which starts the executable with autostartArgument, so that Kestrove comes up in the tray
 * without opening its main window.
 */
namespace LoginItem
{
inline constexpr auto autostartArgument = "--autostart";

/** Where the entry lives ($XDG_CONFIG_HOME/autostart/com.kestrove.app.desktop). */
[[nodiscard]] QString entryPath();
/** The entry's text for an executable at this absolute path. */
[[nodiscard]] QString entryText(const QString &executablePath);
/** Writes the entry for executablePath (whole or not at all), or removes it; the error says why it failed. */
[[nodiscard]] Result<void, QString> setEnabled(bool enabled, const QString &executablePath);
}
