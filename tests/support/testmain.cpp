#include "testmain.h"

#include <QDir>
#include <QIcon>
#include <QStandardPaths>

namespace TestSupport
{
void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("com.kestrove.app"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestrove"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTROVE_VERSION));
}

void setUpIconTheme()
{
    QStringList paths = QIcon::themeSearchPaths();
    // The private XDG_DATA_HOME hides the system icon folders; XDG_DATA_DIRS still names them.
    const QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"))
                                     .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &dir : dataDirs)
        paths.append(dir + QStringLiteral("/icons"));
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

QString executablePath(const QString &name)
{
    return QStringLiteral(KESTROVE_BINARY_DIR) + QLatin1Char('/') + name;
}
}
