#include "app/appicon.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>

namespace
{
QIcon bundled()
{
    // One PNG per size, rendered at build time: no SVG engine is needed for the fallback.
    static const QRegularExpression sizeFolder(QStringLiteral("/(\\d+)x\\d+/apps/"));
    QIcon icon;
    QDirIterator files(QStringLiteral(":/kestrove/icons"), {QStringLiteral("com.kestrove.app.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const int size = sizeFolder.match(path).captured(1).toInt();
        icon.addFile(path, QSize(size, size));
    }
    return icon;
}
}

namespace AppIcon
{
QString installedIconFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(KESTROVE_ICONS_FROM_EXECUTABLE));
}

QIcon application()
{
    // The bundled PNGs are decoded as they are added (sizes up to 512): only when the theme has no icon of ours.
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return bundled();
}

QIcon window()
{
    const QIcon full = application();
    QIcon bounded;
    for (const int side : {16, 24, 32, 48, 64, 128})
        bounded.addPixmap(full.pixmap(side));
    return bounded;
}

QIcon tray()
{
    // By name, so that a StatusNotifierItem host receives the name and not just pixels.
    if (QIcon::hasThemeIcon(symbolicThemeName))
        return QIcon::fromTheme(symbolicThemeName);
    return application();
}
}
