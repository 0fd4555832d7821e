#include "app/appservices.h"

#include "tracking/trackingservice.h"

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
    services.startTrackingServices = [](ModelContext &context) { TrackingService::shared()->startServices(context); };
    services.startClipboardMonitor = clipboardMonitorNotInThisBuild;
    services.checkForUpdatesIfNeeded = updateCheckerNotInThisBuild;
    services.clearDetectedTrackingNumber = clipboardMonitorNotInThisBuild;
    services.dismissDetectedTrackingNumber = clipboardOfferNotInThisBuild;
    return services;
}
