#include "services/bugreport.h"

#include <QCoreApplication>
#include <QSysInfo>

namespace BugReport
{
SystemInfo currentSystem()
{
    SystemInfo info;
    info.version = QCoreApplication::applicationVersion();
    if (info.version.isEmpty())
        info.version = QStringLiteral("1.0");
    // Kestrove has no build numbers apart from its version.
    info.build = QStringLiteral("1");
    // On Linux this is PRETTY_NAME of os-release.
    info.operatingSystem = QSysInfo::prettyProductName();
    info.kernel = QSysInfo::kernelVersion();
    info.architecture = QSysInfo::buildCpuArchitecture();
    return info;
}

QUrl mailtoUrl(const QString &address, const SystemInfo &system)
{
    const QString subject = QStringLiteral("Kestrove Bug Report - v") + system.version + QStringLiteral(" (")
        + system.build + QLatin1Char(')');
    const QString body = QStringLiteral("--- System Info ---\nApp Version: ") + system.version + QStringLiteral(" (")
        + system.build + QStringLiteral(")\nOS: ") + system.operatingSystem + QStringLiteral("\nKernel: ")
        + system.kernel + QStringLiteral("\nArchitecture: ") + system.architecture
        + QStringLiteral("\n\n--- Bug Report ---\nDescription:\n\n\nSteps to Reproduce:\n1.\n\nExpected "
                         "Behavior:\n\n\nActual Behavior:\n");
    // Everything but unreserved characters is encoded, so '&', '=' and '#' in a value cannot end it early.
    const auto encoded = [](const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    return QUrl(QStringLiteral("mailto:") + address + QStringLiteral("?subject=") + encoded(subject)
                    + QStringLiteral("&body=") + encoded(body),
                QUrl::StrictMode);
}
}
