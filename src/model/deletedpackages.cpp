#include "model/deletedpackages.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

#include <QHash>
#include <QSet>

namespace
{
std::unique_ptr<Package> detachedCopy(const Package &p)
{
    auto copy = std::make_unique<Package>(p.trackingNumber(), p.carrierCode(), p.label(), p.status(),
                                          p.estimatedDelivery(), p.notes());
    copy->setDateAdded(p.dateAdded());
    copy->setLastUpdated(p.lastUpdated());
    copy->setArchived(p.isArchived());
    copy->setLastErrorMessage(p.lastErrorMessage());
    copy->setColorTag(p.colorTag());
    copy->setCustomRefreshInterval(p.customRefreshInterval());
    copy->setNotificationsEnabled(p.notificationsEnabled());
    copy->setNotifyOnStatusChange(p.notifyOnStatusChange());
    copy->setNotifyOnLocationUpdate(p.notifyOnLocationUpdate());
    copy->setNotifyOnEstimatedDeliveryChange(p.notifyOnEstimatedDeliveryChange());
    copy->setPinned(p.isPinned());
    if (p.hasCustomImage())
        copy->setCustomImageData(p.customImageData());
    for (const TrackingEvent *event : p.events()) {
        auto eventCopy = std::make_unique<TrackingEvent>(event->timestamp(), event->status(), event->eventDescription(),
                                                         event->location(), event->rawStatusCode());
        TrackingEvent *appended = copy->appendEvent(std::move(eventCopy));
        appended->setCoordinates(event->latitude(), event->longitude());
    }
    return copy;
}
}

DeletedPackages::DeletedPackages() = default;
DeletedPackages::DeletedPackages(DeletedPackages &&) noexcept = default;
DeletedPackages &DeletedPackages::operator=(DeletedPackages &&) noexcept = default;
DeletedPackages::~DeletedPackages() = default;

DeletedPackages DeletedPackages::capture(const QList<Package *> &packages)
{
    DeletedPackages deleted;
    for (const Package *package : packages) {
        if (!package || package->isDeleted())
            continue;
        Copy copy {detachedCopy(*package), {}};
        for (const PackageGroup *group : package->groups())
            copy.groupIds.append(group->id());
        deleted.m_copies.push_back(std::move(copy));
    }
    return deleted;
}

QList<Package *> DeletedPackages::restore(ModelContext &context)
{
    QList<Package *> restored;
    auto packages = context.fetchPackages();
    auto groups = context.fetchGroups();
    if (!packages || !groups)
        return restored;
    QSet<QString> numbers;
    for (const Package *package : packages.value())
        numbers.insert(package->trackingNumber());
    QHash<QUuid, PackageGroup *> groupsById;
    for (PackageGroup *group : groups.value())
        groupsById.insert(group->id(), group);
    for (Copy &copy : m_copies) {
        if (numbers.contains(copy.package->trackingNumber()))
            continue;
        Package *package = copy.package.release();
        context.insert(package);
        for (const QUuid &id : std::as_const(copy.groupIds)) {
            if (PackageGroup *group = groupsById.value(id))
                package->addToGroup(group);
        }
        restored.append(package);
    }
    m_copies.clear();
    return restored;
}
