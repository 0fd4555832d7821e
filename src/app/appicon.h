#pragma once

#include <QIcon>
#include <QString>

/**
 * Kestrove's own icon. Installed into the hicolor theme, it is looked up by name, so that the
 * desktop's theme may replace it and the tray host may recolour the symbolic variant; when no
 * theme has it, the copies built into the program stand in.
 */
namespace AppIcon
{
inline const QString themeName = QStringLiteral("com.kestrove.app");
/** The one-colour variant for the tray, which the tray host tints to suit its panel. */
inline const QString symbolicThemeName = QStringLiteral("com.kestrove.app-symbolic");

/** The icon theme folder of the installation this executable belongs to (PREFIX/share/icons). */
[[nodiscard]] QString installedIconFolder();

/** The application icon from the icon theme, or the built-in copy when no theme has it. */
[[nodiscard]] QIcon application();

/**
 * The icon of Kestrove's windows: the application icon at the sizes task bars and window lists
 * draw (16 to 128 px). On X11 every size an icon offers goes into each window's properties;
 * the theme's 256 and 512 px would cost a megabyte and a noticeable part of the start.
 */
[[nodiscard]] QIcon window();

/** The tray icon: the theme's symbolic icon by name, or the application icon when the theme lacks it. */
[[nodiscard]] QIcon tray();
}
