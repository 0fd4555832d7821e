#pragma once

#include "services/packagejourney.h"

#include <QWidget>

class PackageMapView;
class QLabel;
class QProgressBar;

/**
 * The full-size journey map: a header with "Package Journey", the package's label (or its
 * number), a progress bar while places are looked up and a close button, then the map.
 * Escape closes it.
 */
class JourneyWindow : public QWidget
{
    Q_OBJECT
public:
    /** A window with its own journey for this package. */
    JourneyWindow(Package *package, const JourneyMapServices &services, QWidget *parent = nullptr);
    /** A window that shows a journey someone else owns (the embedded map's), which must outlive it. */
    JourneyWindow(PackageJourney *journey, MapTileService *tiles, QWidget *parent = nullptr);

    [[nodiscard]] PackageMapView *mapView() const { return m_mapView; }

private:
    void updateHeader();

    PackageJourney *m_journey;
    QLabel *m_subtitle;
    QProgressBar *m_progress;
    PackageMapView *m_mapView;
};
