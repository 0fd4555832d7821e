#include "model/trackingevent.h"

#include "model/package.h"
#include "model/recordcolumns.h"

TrackingEvent::TrackingEvent(const QDateTime &timestamp, TrackingStatus status, const QString &eventDescription,
                             const QString &location, const QString &rawStatusCode)
    : m_timestamp(timestamp)
    , m_status(status)
    , m_eventDescription(eventDescription)
    , m_location(location)
    , m_rawStatusCode(rawStatusCode)
{ }

void TrackingEvent::setCoordinates(std::optional<double> latitude, std::optional<double> longitude)
{
    constexpr quint32 latitudeBit = StoreColumns::bit(StoreColumns::indexOf(Columns::all, &TrackingEvent::m_latitude));
    constexpr quint32 longitudeBit
        = StoreColumns::bit(StoreColumns::indexOf(Columns::all, &TrackingEvent::m_longitude));
    quint32 changed = 0;
    if (m_latitude != latitude) {
        m_latitude = latitude;
        changed |= latitudeBit;
    }
    if (m_longitude != longitude) {
        m_longitude = longitude;
        changed |= longitudeBit;
    }
    if (!changed)
        return;
    m_dirty |= changed;
    if (m_package)
        m_package->eventChanged(this);
}
