#include "app/appservices.h"

#include "model/packagestore.h"

namespace
{
// The clipboard monitor and the update checker are not part of this build yet; these
// stand-ins keep the start-up order and the banner's calls in place until they are.
void clipboardMonitorNotInThisBuild() { }
void clipboardOfferNotInThisBuild(const QString &) { }
void updateCheckerNotInThisBuild() { }
}

AppServices AppServices::standard()
{
    AppServices services;
    // Until the tracking service runs its own start-up, the shell runs the retention
    // clean-up that belongs to it, so that delivered packages still expire at launch.
    services.startTrackingServices = [](ModelContext &context) { PackageStore::cleanupDeliveredPackages(context); };
    services.startClipboardMonitor = clipboardMonitorNotInThisBuild;
    services.checkForUpdatesIfNeeded = updateCheckerNotInThisBuild;
    services.clearDetectedTrackingNumber = clipboardMonitorNotInThisBuild;
    services.dismissDetectedTrackingNumber = clipboardOfferNotInThisBuild;
    return services;
}
