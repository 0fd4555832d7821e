#include "ui/formatinterval.h"

#include <QCoreApplication>

QString formatInterval(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    if (minutes < 60)
        return QCoreApplication::translate("formatInterval", "%1 min").arg(minutes);
    if (minutes < 1440) {
        const qint64 hours = minutes / 60;
        const qint64 rest = minutes % 60;
        if (rest == 0)
            return QCoreApplication::translate("formatInterval", "%1h").arg(hours);
        return QCoreApplication::translate("formatInterval", "%1h %2m").arg(hours).arg(rest);
    }
    const qint64 days = minutes / 1440;
    const qint64 hours = (minutes % 1440) / 60;
    if (hours == 0)
        return QCoreApplication::translate("formatInterval", "%1d").arg(days);
    return QCoreApplication::translate("formatInterval", "%1d %2h").arg(days).arg(hours);
}
