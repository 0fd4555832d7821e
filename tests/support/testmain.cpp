#include "testmain.h"

#include <QDir>
#include <QIcon>
#include <QPalette>
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

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e);
    const QColor text(0xec, 0xec, 0xee);
    for (const auto role : {QPalette::Window, QPalette::AlternateBase, QPalette::ToolTipBase})
        p.setColor(role, window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(role, text);
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    p.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    p.setColor(QPalette::Link, QColor(0x40, 0x9c, 0xff));
    p.setColor(QPalette::Mid, QColor(0x48, 0x48, 0x4a));
    p.setColor(QPalette::Light, QColor(0x55, 0x55, 0x58));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    return p;
}

QPalette highContrastPalette()
{
    // Window text, button, light, dark, mid, text, bright text, base, window.
    QPalette p(Qt::white, Qt::black, Qt::white, Qt::white, Qt::white, Qt::white, Qt::white, Qt::black, Qt::black);
    p.setColor(QPalette::Highlight, Qt::yellow);
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Link, Qt::cyan);
    return p;
}

QString executablePath(const QString &name)
{
    return QStringLiteral(KESTROVE_BINARY_DIR) + QLatin1Char('/') + name;
}
}
