#pragma once

#include "services/packagejourney.h"

#include <QPointer>
#include <QWidget>

class JourneyWindow;
class Package;
class PackageMapView;

/**
 * The detail pane's "Journey Map" section: a divider, the caption with a button that opens the
 * full-size journey window, and the embedded map (250 points high, rounded corners). It shows
 * itself only while at least one of the package's events names a location.
 */
class PackageMapSection : public QWidget
{
    Q_OBJECT
public:
    PackageMapSection(Package *package, const JourneyMapServices &services, QWidget *parent = nullptr);
    ~PackageMapSection() override;

    /** Opens the full-size journey window for this package, or raises it when open. */
    void openJourneyWindow();

    [[nodiscard]] PackageJourney *journey() const { return m_journey; }
    [[nodiscard]] PackageMapView *mapView() const { return m_mapView; }
    /** The open journey window, if any. */
    [[nodiscard]] JourneyWindow *journeyWindow() const;

private:
    void updateVisibility();

    JourneyMapServices m_services;
    QPointer<Package> m_package;
    PackageJourney *m_journey;
    PackageMapView *m_mapView;
    QPointer<JourneyWindow> m_window;
};
