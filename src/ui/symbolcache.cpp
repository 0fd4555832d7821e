#include "ui/symbolcache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QSaveFile>
#include <QStandardPaths>

namespace
{
/** What the theme's pictures depend on: names, search paths, and when each theme's folder last changed. */
QString themeStamp()
{
    QStringList parts {QIcon::themeName(), QIcon::fallbackThemeName()};
    const QStringList searchPaths = QIcon::themeSearchPaths();
    // hicolor: where every theme ends up looking.
    for (const QString &theme : {QIcon::themeName(), QIcon::fallbackThemeName(), QStringLiteral("hicolor")}) {
        if (theme.isEmpty())
            continue;
        for (const QString &path : searchPaths) {
            for (const QString &file : {QStringLiteral("index.theme"), QStringLiteral("icon-theme.cache")}) {
                const QFileInfo info(path + QLatin1Char('/') + theme + QLatin1Char('/') + file);
                if (info.exists())
                    parts << info.filePath() << QString::number(info.lastModified().toMSecsSinceEpoch());
            }
        }
    }
    parts << QString::number(QT_VERSION, 16);
    return parts.join(QLatin1Char('\n'));
}

QString cacheRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/com.kestrove.app/symbols");
}

/** The current theme's folder; made, and its predecessors removed, the first time it is asked for. */
QString currentFolder()
{
    // The theme's files are looked at once per theme: an update while Kestrove runs shows at its next start.
    static QString themeOfFolder;
    static QString folder;
    const QString theme = QIcon::themeName() + QLatin1Char('\n') + QIcon::fallbackThemeName() + QLatin1Char('\n')
        + QIcon::themeSearchPaths().join(QLatin1Char('\n'));
    if (theme == themeOfFolder)
        return folder;
    themeOfFolder = theme;
    const QString stamp = themeStamp();
    const QString name
        = QString::fromLatin1(QCryptographicHash::hash(stamp.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    QDir root(cacheRoot());
    folder = root.filePath(name);
    if (!QFileInfo::exists(folder)) {
        for (const QString &old : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (old != name)
                QDir(root.filePath(old)).removeRecursively();
        }
        root.mkpath(name);
    }
    return folder;
}

QString entryPath(const QString &symbolName, int size, qreal devicePixelRatio)
{
    return currentFolder() + QStringLiteral("/%1-%2@%3.symbol").arg(symbolName).arg(size).arg(devicePixelRatio);
}

// An entry: this header, then the premultiplied ARGB pixels row by row. Raw pixels rather than an
// image format: reading one is a single read, and asking Qt to decode a PNG loads every image plug-in.
constexpr quint32 entryMagic = 0x4b53594d; // "KSYM"
constexpr quint32 largestSide = 1024;

QImage read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QDataStream in(&file);
    quint32 magic = 0, width = 0, height = 0;
    double ratio = 0;
    in >> magic >> width >> height >> ratio;
    if (in.status() != QDataStream::Ok || magic != entryMagic || width == 0 || height == 0 || width > largestSide
        || height > largestSide || !(ratio > 0 && ratio <= 16))
        return {};
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    const qint64 bytes = qint64(width) * 4;
    for (int y = 0; y < image.height(); ++y) {
        if (in.readRawData(reinterpret_cast<char *>(image.scanLine(y)), int(bytes)) != bytes)
            return {}; // cut short: drawn again and rewritten
    }
    if (!file.atEnd())
        return {};
    image.setDevicePixelRatio(ratio);
    return image;
}

void write(const QString &path, const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Written whole or not at all: a reader never sees half a picture.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&file);
    out << entryMagic << quint32(image.width()) << quint32(image.height()) << double(image.devicePixelRatio());
    for (int y = 0; y < image.height(); ++y)
        out.writeRawData(reinterpret_cast<const char *>(image.constScanLine(y)), image.width() * 4);
    if (out.status() == QDataStream::Ok)
        file.commit();
}
}

namespace SymbolCache
{
QImage image(const QString &symbolName, int size, qreal devicePixelRatio, const std::function<QImage()> &draw)
{
    const QString path = entryPath(symbolName, size, devicePixelRatio);
    if (QImage cached = read(path); !cached.isNull())
        return cached;
    QImage drawn = draw();
    if (!drawn.isNull())
        write(path, drawn);
    return drawn;
}

QString directory()
{
    return currentFolder();
}
}
