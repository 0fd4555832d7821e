#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

/**
 * Named in-process notifications through which screens and services ask the shell
 * and the main window to act. Posting is always delivered on the GUI thread.
 */
class AppNotifications : public QObject
{
    Q_OBJECT
public:
    static inline const QString addPackageRequested = QStringLiteral("addPackageRequested");
    static inline const QString refreshAllRequested = QStringLiteral("refreshAllRequested");
    static inline const QString archiveSelectedRequested = QStringLiteral("archiveSelectedRequested");
    static inline const QString selectPackageRequested = QStringLiteral("selectPackageRequested");
    static inline const QString trackingNumberDetected = QStringLiteral("trackingNumberDetected");
    static inline const QString openPackageDetail = QStringLiteral("openPackageDetail");
    static inline const QString markPackageDelivered = QStringLiteral("markPackageDelivered");
    /** User-info key carrying a tracking number as text. */
    static inline const QString trackingNumberKey = QStringLiteral("trackingNumber");

    static AppNotifications *shared();

    /** Posts a notification; from another thread it is queued to the GUI thread. */
    void post(const QString &name, const QVariantMap &userInfo = {});

Q_SIGNALS:
    void posted(const QString &name, const QVariantMap &userInfo);
};
