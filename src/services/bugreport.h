#pragma once

#include <QString>
#include <QUrl>

/** The e-mail draft behind "Report a Bug": a mailto: address with subject and body filled in. */
namespace BugReport
{
/** What the draft says about the system it was written on. */
struct SystemInfo {
    QString version; // "1.0" when unknown
    QString build; // "1" when unknown
    QString operatingSystem; // the distribution's PRETTY_NAME
    QString kernel;
    QString architecture;
};

/** The running system: the application's version, os-release, the kernel and the build's CPU architecture. */
[[nodiscard]] SystemInfo currentSystem();
/** "mailto:ADDRESS?subject=...&body=..." with both parts percent-encoded. */
[[nodiscard]] QUrl mailtoUrl(const QString &address, const SystemInfo &system);
}
