#pragma once

// The one list of the stored columns of each record. Everything else that knows a column (the
// schema, row reading, value binding and the dirty bits that make a save write only the changed
// columns) is derived from these lists. A column added later gets the next schema version as its
// since value; the migration to that version then adds it to existing stores (ALTER TABLE, so a
// NOT NULL column needs a DEFAULT).

#include "model/package.h"
#include "model/packagegroup.h"
#include "model/storecolumns.h"
#include "model/trackingevent.h"

struct Package::Columns {
    static constexpr auto all = std::tuple {
        storeColumn(u"trackingNumber", &Package::m_trackingNumber),
        storeColumn(u"carrierCode", &Package::m_carrierCode),
        storeColumn(u"label", &Package::m_label),
        storeColumn(u"status", &Package::m_status),
        storeColumn(u"estimatedDelivery", &Package::m_estimatedDelivery),
        storeColumn(u"dateAdded", &Package::m_dateAdded),
        storeColumn(u"lastUpdated", &Package::m_lastUpdated),
        storeColumn(u"isArchived", &Package::m_isArchived, u"DEFAULT 0"),
        storeColumn(u"notes", &Package::m_notes),
        storeColumn(u"lastErrorMessage", &Package::m_lastErrorMessage),
        storeColumn(u"colorTag", &Package::m_colorTag),
        storeColumn(u"customRefreshInterval", &Package::m_customRefreshInterval),
        storeColumn(u"notificationsEnabled", &Package::m_notificationsEnabled, u"DEFAULT 1"),
        storeColumn(u"notifyOnStatusChange", &Package::m_notifyOnStatusChange, u"DEFAULT 1"),
        storeColumn(u"notifyOnLocationUpdate", &Package::m_notifyOnLocationUpdate, u"DEFAULT 0"),
        storeColumn(u"notifyOnEstimatedDeliveryChange", &Package::m_notifyOnEstimatedDeliveryChange, u"DEFAULT 1"),
        storeColumn(u"isPinned", &Package::m_isPinned, u"DEFAULT 0"),
        // The picture's bytes live in a file beside the store; the row names the file.
        storeColumn(u"customImageFile", &Package::m_imageFile),
    };
    static constexpr int picture = StoreColumns::indexOf(all, &Package::m_imageFile);
};

struct PackageGroup::Columns {
    static constexpr auto all = std::tuple {
        storeColumn(u"uuid", &PackageGroup::m_id, u"UNIQUE"),
        storeColumn(u"name", &PackageGroup::m_name),
        storeColumn(u"colorHex", &PackageGroup::m_colorHex),
        storeColumn(u"sortOrder", &PackageGroup::m_sortOrder),
        storeColumn(u"dateCreated", &PackageGroup::m_dateCreated),
    };
};

// The packageId column that links an event to its package precedes these.
struct TrackingEvent::Columns {
    static constexpr auto all = std::tuple {
        storeColumn(u"timestamp", &TrackingEvent::m_timestamp),
        storeColumn(u"status", &TrackingEvent::m_status),
        storeColumn(u"eventDescription", &TrackingEvent::m_eventDescription),
        storeColumn(u"location", &TrackingEvent::m_location),
        storeColumn(u"rawStatusCode", &TrackingEvent::m_rawStatusCode),
        storeColumn(u"latitude", &TrackingEvent::m_latitude),
        storeColumn(u"longitude", &TrackingEvent::m_longitude),
    };
};

// A column's position is its dirty bit.
static_assert(StoreColumns::count(Package::Columns::all) <= 32);
