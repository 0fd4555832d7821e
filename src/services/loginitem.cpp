#include "services/loginitem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace LoginItem
{
namespace
{
/** One argument of an Exec line, quoted where the desktop entry rules ask for it. */
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes
        = std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); });
    QString quoted = argument;
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%")); // field codes start with '%'
    if (!needsQuotes)
        return quoted;
    QString escaped;
    for (const QChar c : std::as_const(quoted)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}
}

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/com.kestrove.app.desktop");
}

QString entryText(const QString &executablePath)
{
    // The value of a key is itself escaped: a backslash of the quoted Exec argument is written twice.
    QString exec = execArgument(executablePath) + QLatin1Char(' ') + QLatin1String(autostartArgument);
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kestrove\n"
                          "Comment=Parcel tracker\n"
                          "Icon=com.kestrove.app\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec);
}

Result<void, QString> setEnabled(bool enabled, const QString &executablePath)
{
    using R = Result<void, QString>;
    const QString path = entryPath();
    if (!enabled) {
        if (QFile::exists(path) && !QFile::remove(path))
            return R::failure(QStringLiteral("cannot remove ") + path);
        return {};
    }
    if (!QFileInfo(executablePath).isAbsolute())
        return R::failure(QStringLiteral("the executable path is not absolute: ") + executablePath);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return R::failure(QStringLiteral("cannot create the folder ") + folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return R::failure(QStringLiteral("cannot write ") + path + QStringLiteral(": ") + file.errorString());
    const QByteArray bytes = entryText(executablePath).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return R::failure(QStringLiteral("cannot write ") + path + QStringLiteral(": ") + file.errorString());
    return {};
}
}
