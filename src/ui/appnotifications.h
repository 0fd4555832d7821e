#pragma once

#include <QObject>
#include <QString>

/**
 * The requests through which screens, the tray panel and the desktop notifications ask the
 * shell and the main window to act. One instance, made by the composition root, which also
 * connects the services' signals to it. Receivers live on the GUI thread, so a signal emitted
 * on another thread reaches them there (queued).
 */
class AppNotifications : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    /** Open the add-package sheet, prefilled with trackingNumber unless it is empty. */
    void addPackageRequested(const QString &trackingNumber = {});
    /** Refresh every active package, even while a refresh runs. */
    void refreshAllRequested();
    /** Archive the ticked packages in batch mode, else the selected one. */
    void archiveSelectedRequested();
    /** Select the package with this number in the main window. */
    void selectPackageRequested(const QString &trackingNumber);
    /** The clipboard holds a tracking number: offer it in the banner. */
    void trackingNumberDetected(const QString &trackingNumber);
    /** A desktop notification of this package was opened: bring the main window forward on it. */
    void openPackageDetail(const QString &trackingNumber);
    /** "Mark Delivered" was chosen on a desktop notification of this package. */
    void markPackageDelivered(const QString &trackingNumber);
};
