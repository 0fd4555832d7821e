#include "goldenfile.h"

#include <QFile>
#include <QProcess>

namespace TestSupport
{
namespace
{
bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}
}

bool matchesGoldenFile(const QString &actual, const QString &relativePath)
{
    const QString path = QStringLiteral(KESTROVE_TEST_DATA_DIR "/") + relativePath;
    const QString failPath = path + QStringLiteral(".fail");
    if (qEnvironmentVariableIntValue("KESTROVE_UPDATE_GOLDEN") == 1)
        return writeText(path, actual);
    QFile expected(path);
    if (expected.open(QIODevice::ReadOnly) && QString::fromUtf8(expected.readAll()) == actual) {
        QFile::remove(failPath);
        return true;
    }
    if (!writeText(failPath, actual)) {
        qWarning("cannot write %s", qPrintable(failPath));
        return false;
    }
    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-u"), path, failPath});
    diff.waitForFinished();
    qWarning("%s differs from the actual output in %s:\n%s", qPrintable(path), qPrintable(failPath),
             diff.readAllStandardOutput().constData());
    return false;
}
}
