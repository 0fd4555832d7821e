#include "model/package.h"

#include "base/clock.h"
#include "carriers/carrier.h"
#include "model/modelcontext.h"
#include "model/packagegroup.h"
#include "model/recordcolumns.h"

#include <QFile>

#include <algorithm>

Package::Package(const QString &trackingNumber, const QString &carrierCode, const QString &label, TrackingStatus status,
                 const std::optional<QDateTime> &estimatedDelivery, const QString &notes, QObject *parent)
    : QObject(parent)
    , m_trackingNumber(trackingNumber)
    , m_carrierCode(carrierCode)
    , m_label(label)
    , m_status(status)
    , m_estimatedDelivery(estimatedDelivery)
    , m_notes(notes)
{
    const QDateTime now = Clock::shared()->now();
    m_dateAdded = now;
    m_lastUpdated = now;
}

Package::Package(LoadTag, QObject *parent)
    : QObject(parent)
{ }

Package::~Package()
{
    for (PackageGroup *group : std::as_const(m_groups))
        group->m_packages.removeAll(this);
    if (m_preloadedLatest && m_events.contains(m_preloadedLatest.get()))
        (void)m_preloadedLatest.release();
    qDeleteAll(m_events);
}

template<auto Member, typename T> void Package::assign(const T &value)
{
    constexpr int column = StoreColumns::indexOf(Columns::all, Member);
    static_assert(column >= 0, "only stored members go through assign()");
    if (this->*Member == value)
        return;
    this->*Member = value;
    markDirty(column);
    Q_EMIT changed();
}

void Package::markDirty(int column)
{
    m_dirty |= StoreColumns::bit(column);
    if (m_context)
        m_context->noteChanged(this);
}

void Package::setTrackingNumber(const QString &value)
{
    assign<&Package::m_trackingNumber>(value);
}

void Package::setCarrierCode(const QString &value)
{
    assign<&Package::m_carrierCode>(value);
}

void Package::setLabel(const QString &value)
{
    assign<&Package::m_label>(value);
}

void Package::setStatus(TrackingStatus value)
{
    assign<&Package::m_status>(value);
}

void Package::setEstimatedDelivery(const std::optional<QDateTime> &value)
{
    assign<&Package::m_estimatedDelivery>(value);
}

void Package::setDateAdded(const QDateTime &value)
{
    assign<&Package::m_dateAdded>(value);
}

void Package::setLastUpdated(const QDateTime &value)
{
    assign<&Package::m_lastUpdated>(value);
}

void Package::setArchived(bool value)
{
    assign<&Package::m_isArchived>(value);
}

void Package::setNotes(const QString &value)
{
    assign<&Package::m_notes>(value);
}

void Package::setLastErrorMessage(const std::optional<QString> &value)
{
    assign<&Package::m_lastErrorMessage>(value);
}

void Package::setColorTag(const std::optional<QString> &value)
{
    assign<&Package::m_colorTag>(value);
}

void Package::setCustomRefreshInterval(const std::optional<double> &value)
{
    assign<&Package::m_customRefreshInterval>(value);
}

void Package::setNotificationsEnabled(bool value)
{
    assign<&Package::m_notificationsEnabled>(value);
}

void Package::setNotifyOnStatusChange(bool value)
{
    assign<&Package::m_notifyOnStatusChange>(value);
}

void Package::setNotifyOnLocationUpdate(bool value)
{
    assign<&Package::m_notifyOnLocationUpdate>(value);
}

void Package::setNotifyOnEstimatedDeliveryChange(bool value)
{
    assign<&Package::m_notifyOnEstimatedDeliveryChange>(value);
}

void Package::setPinned(bool value)
{
    assign<&Package::m_isPinned>(value);
}

std::optional<QByteArray> Package::customImageData() const
{
    if (!m_imageLoaded) {
        m_imageLoaded = true;
        QFile file(m_imageDirectory + QLatin1Char('/') + m_imageFile.value_or(QString()));
        if (file.open(QIODevice::ReadOnly))
            m_imageData = file.readAll();
        else
            m_imageData.reset(); // the file went missing: the picture reads as absent
    }
    return m_imageData;
}

bool Package::hasCustomImage() const
{
    if (m_imageLoaded)
        return m_imageData.has_value();
    return m_imageFile.has_value();
}

void Package::setCustomImageData(const std::optional<QByteArray> &value)
{
    (void)customImageData();
    if (m_imageData == value)
        return;
    m_imageData = value;
    markDirty(Columns::picture);
    Q_EMIT changed();
}

void Package::pictureFileReplaced()
{
    m_imageData.reset();
    m_imageLoaded = !m_imageFile;
}

void Package::ensureEventsLoaded() const
{
    if (m_eventsLoaded)
        return;
    if (m_context)
        m_context->loadEvents(const_cast<Package *>(this));
    // A package whose context is gone cannot read its rows any more; its preloaded latest event is all it has.
    if (!m_eventsLoaded) {
        m_eventsLoaded = true;
        if (m_preloadedLatest)
            m_events.append(m_preloadedLatest.release());
        m_latestValid = false;
    }
}

const QList<TrackingEvent *> &Package::events() const
{
    ensureEventsLoaded();
    return m_events;
}

QList<TrackingEvent *> Package::eventsNewestFirst() const
{
    QList<TrackingEvent *> sorted = events();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TrackingEvent *a, const TrackingEvent *b) { return a->timestamp() > b->timestamp(); });
    return sorted;
}

TrackingEvent *Package::latestEvent() const
{
    if (!m_eventsLoaded)
        return m_preloadedLatest.get();
    if (!m_latestValid) {
        m_latestEvent = nullptr;
        for (TrackingEvent *event : std::as_const(m_events)) {
            // Only a strictly newer event replaces the current one: on ties the earlier one in the list wins.
            if (!m_latestEvent || event->timestamp() > m_latestEvent->timestamp())
                m_latestEvent = event;
        }
        m_latestValid = true;
    }
    return m_latestEvent;
}

TrackingEvent *Package::appendEvent(std::unique_ptr<TrackingEvent> event)
{
    if (!event)
        return nullptr;
    ensureEventsLoaded();
    TrackingEvent *raw = event.release();
    raw->m_package = this;
    m_events.append(raw);
    if (m_latestValid && (!m_latestEvent || raw->timestamp() > m_latestEvent->timestamp()))
        m_latestEvent = raw;
    m_hasEventChanges = true;
    if (m_context)
        m_context->noteChanged(this);
    Q_EMIT changed();
    return raw;
}

void Package::eventChanged(TrackingEvent *)
{
    m_hasEventChanges = true;
    if (m_context)
        m_context->noteChanged(this);
    Q_EMIT changed();
}

void Package::addToGroup(PackageGroup *group)
{
    if (!group || m_groups.contains(group) || m_deleted || group->m_deleted)
        return;
    ModelContext *context = m_context ? m_context : group->m_context;
    if (m_context && group->m_context && m_context != group->m_context) {
        qWarning("Package::addToGroup: the package and the group belong to different contexts");
        return;
    }
    m_groups.append(group);
    group->m_packages.append(this);
    if (context) {
        // Relating a new record to a stored one brings it into the same context.
        if (!m_context)
            context->insert(this);
        if (!group->m_context)
            context->insert(group);
        context->noteLink(this, group, true);
    }
    Q_EMIT changed();
    Q_EMIT group->changed();
}

void Package::removeFromGroup(PackageGroup *group)
{
    if (!group || !m_groups.contains(group))
        return;
    unlinkGroup(group);
    group->m_packages.removeAll(this);
    Q_EMIT changed();
    Q_EMIT group->changed();
}

void Package::unlinkGroup(PackageGroup *group)
{
    m_groups.removeAll(group);
    if (m_context && group->m_context == m_context)
        m_context->noteLink(this, group, false);
}

void Package::linkGroup(PackageGroup *group)
{
    m_groups.append(group);
}

bool Package::isInGroup(const PackageGroup &group) const
{
    return std::any_of(m_groups.begin(), m_groups.end(), [&](const PackageGroup *g) { return g->id() == group.id(); });
}

void Package::toggleGroup(PackageGroup *group)
{
    if (!isInGroup(*group)) {
        addToGroup(group);
        return;
    }
    // Match by id, as prepareForDeletion() does: a copy of the group counts as the group.
    const QList<PackageGroup *> groups = m_groups;
    for (PackageGroup *g : groups) {
        if (g->id() == group->id())
            removeFromGroup(g);
    }
}

void Package::setGroups(const QList<PackageGroup *> &groups)
{
    const QList<PackageGroup *> current = m_groups;
    for (PackageGroup *group : current) {
        if (!groups.contains(group))
            removeFromGroup(group);
    }
    for (PackageGroup *group : groups)
        addToGroup(group);
}

QString Package::carrierDisplayName() const
{
    return Carrier::displayName(m_carrierCode);
}

void Package::prepareForDeletion()
{
    const QList<PackageGroup *> groups = m_groups;
    for (PackageGroup *group : groups) {
        if (group->m_packages.removeAll(this) > 0)
            Q_EMIT group->changed();
        unlinkGroup(group);
    }
    if (!groups.isEmpty())
        Q_EMIT changed();
}

QString Package::normalizeTrackingNumber(const QString &entered)
{
    QString normalized = entered.toUpper();
    normalized.remove(u' ');
    normalized.remove(u'-');
    return normalized;
}
