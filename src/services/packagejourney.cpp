#include "services/packagejourney.h"

#include "base/clock.h"
#include "model/package.h"
#include "model/packagestore.h"
#include "services/geocoder.h"

#include <algorithm>

PackageJourney::PackageJourney(Package *package, Geocoder *geocoder, Clock *clock, QObject *parent)
    : QObject(parent)
    , m_geocoder(geocoder)
    , m_clock(clock)
{
    watch(package);
}

PackageJourney::~PackageJourney() = default;

Package *PackageJourney::package() const
{
    return m_package;
}

bool PackageJourney::hasLocations(const Package &package)
{
    const QList<TrackingEvent *> &events = package.events();
    return std::any_of(events.cbegin(), events.cend(), [](const TrackingEvent *e) { return !e->location().isEmpty(); });
}

void PackageJourney::watch(Package *package)
{
    if (m_package)
        disconnect(m_package, nullptr, this, nullptr);
    m_package = package;
    m_refreshToken = 0;
    if (package) {
        m_seenLastUpdated = package->lastUpdated();
        m_seenEventCount = package->events().size();
        connect(package, &Package::changed, this, &PackageJourney::onPackageChanged);
    }
}

void PackageJourney::setPackage(Package *package)
{
    if (package == m_package)
        return;
    watch(package);
    ++m_run;
    m_geocodedEvents.clear();
    m_mapPosition.reset();
    m_isGeocoding = false;
    m_candidateCount = m_lookedUpCount = 0;
    Q_EMIT stateChanged();
    if (m_loaded)
        reload();
}

QString PackageJourney::loadingKey() const
{
    return (m_package ? m_package->trackingNumber() : QString()) + QLatin1Char('-') + QString::number(m_refreshToken);
}

void PackageJourney::onPackageChanged()
{
    // Coordinates written by a run also signal a change; only new data starts a new run.
    if (m_package->lastUpdated() == m_seenLastUpdated && m_package->events().size() == m_seenEventCount)
        return;
    m_seenLastUpdated = m_package->lastUpdated();
    m_seenEventCount = m_package->events().size();
    ++m_refreshToken;
    if (m_loaded)
        reload();
}

bool PackageJourney::isCurrent(quint64 run) const
{
    return run == m_run && m_package;
}

void PackageJourney::reload()
{
    m_loaded = true;
    const quint64 run = ++m_run;
    m_geocodedEvents.clear();
    m_mapPosition.reset();
    m_isGeocoding = false;
    m_candidateCount = m_lookedUpCount = 0;
    if (m_package) {
        for (TrackingEvent *event : m_package->events())
            event->setCoordinates(std::nullopt, std::nullopt);
    }
    Q_EMIT stateChanged();
    (void)geocodeEvents(run);
}

QCoro::Task<> PackageJourney::geocodeEvents(quint64 run)
{
    QPointer<PackageJourney> self(this);
    struct Candidate {
        TrackingEvent *event;
        QString place;
    };
    QList<Candidate> candidates;
    if (!m_package)
        co_return;
    for (TrackingEvent *event : m_package->events()) {
        if (auto place = LocationRules::geocodeString(*event))
            candidates.append({event, *place});
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate &a, const Candidate &b) {
        return a.event->timestamp() < b.event->timestamp();
    });
    if (candidates.isEmpty()) {
        Q_EMIT finished();
        co_return;
    }

    m_isGeocoding = true;
    m_candidateCount = int(candidates.size());
    Q_EMIT stateChanged();
    QHash<QString, std::optional<GeoCoordinate>> runCache;
    for (const Candidate &candidate : std::as_const(candidates)) {
        const QString key = LocationRules::placeKey(candidate.place);
        std::optional<GeoCoordinate> coordinate;
        if (const auto hit = runCache.constFind(key); hit != runCache.constEnd()) {
            coordinate = *hit;
        } else {
            const auto answer = co_await m_geocoder->geocode(candidate.place);
            if (!self || !isCurrent(run))
                co_return;
            // A failed place is not asked again in this run either: one request per distinct place.
            runCache.insert(key, std::nullopt);
            if (answer.ok()) {
                coordinate = answer.value().coordinate;
                runCache.insert(key, coordinate);
                if (answer.value().requested) {
                    co_await m_clock->sleep(pauseAfterRequest);
                    if (!self || !isCurrent(run))
                        co_return;
                }
            }
        }
        ++m_lookedUpCount;
        if (coordinate) {
            candidate.event->setCoordinates(coordinate->latitude, coordinate->longitude);
            m_geocodedEvents.append(GeocodedEvent {candidate.event, *coordinate, candidate.place});
        }
        Q_EMIT stateChanged();
    }

    m_mapPosition = LocationRules::computeSmartCameraPosition(m_geocodedEvents);
    m_isGeocoding = false;
    if (ModelContext *context = m_package->modelContext())
        (void)PackageStore::save(*context); // a failed save is logged there and retried with the next one
    Q_EMIT stateChanged();
    Q_EMIT finished();
}
