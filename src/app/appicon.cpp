#include "app/appicon.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>

#include <limits>

namespace
{
QIcon bundled(int largest)
{
    // One PNG per size, rendered at build time: no SVG engine is needed for the fallback. Each
    // is decoded as it is added, so sizes nobody asked for are left out.
    static const QRegularExpression sizeFolder(QStringLiteral("/(\\d+)x\\d+/apps/"));
    QIcon icon;
    QDirIterator files(QStringLiteral(":/kestrove/icons"), {QStringLiteral("com.kestrove.app.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const int size = sizeFolder.match(path).captured(1).toInt();
        if (size <= largest)
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
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return bundled(std::numeric_limits<int>::max());
}

QIcon window()
{
    constexpr int largest = 128;
    if (!QIcon::hasThemeIcon(themeName))
        return bundled(largest);
    const QIcon themed = QIcon::fromTheme(themeName);
    QIcon bounded;
    for (const int side : {16, 24, 32, 48, 64, largest})
        bounded.addPixmap(themed.pixmap(side));
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
