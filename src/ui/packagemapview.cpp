#include "ui/packagemapview.h"

#include "model/trackingevent.h"
#include "services/packagejourney.h"
#include "ui/emptystateview.h"
#include "ui/mapcanvas.h"
#include "ui/uistyle.h"

#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>
#include <QStackedLayout>
#include <QVBoxLayout>

PackageMapView::PackageMapView(PackageJourney *journey, MapTileService *tiles, Form form, QWidget *parent)
    : QWidget(parent)
    , m_journey(journey)
    , m_stack(new QStackedLayout(this))
    , m_loading(new QWidget(this))
    , m_empty(new EmptyStateView(this))
    , m_canvas(new MapCanvas(tiles, this))
{
    setObjectName(QStringLiteral("packageMapView"));
    auto *busy = new QProgressBar(m_loading);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedWidth(120);
    busy->setAccessibleName(tr("Loading locations..."));
    auto *loadingText = new QLabel(tr("Loading locations..."), m_loading);
    loadingText->setObjectName(QStringLiteral("loadingLocationsLabel"));
    UiStyle::makeSecondary(loadingText);
    auto *loadingLayout = new QVBoxLayout(m_loading);
    loadingLayout->addStretch();
    loadingLayout->addWidget(busy, 0, Qt::AlignHCenter);
    loadingLayout->addWidget(loadingText, 0, Qt::AlignHCenter);
    loadingLayout->addStretch();

    m_empty->setContent(QStringLiteral("map"), tr("No Location Data"),
                        tr("This package doesn't have any events with location information."));
    m_empty->setObjectName(QStringLiteral("noLocationData"));

    if (form == Form::embedded) {
        m_canvas->setCornerRadius(10);
        m_canvas->setDoubleClickZooms(false);
        connect(m_canvas, &MapCanvas::doubleClicked, this, &PackageMapView::openFullMapRequested);
    }
    m_stack->addWidget(m_loading);
    m_stack->addWidget(m_empty);
    m_stack->addWidget(m_canvas);
    connect(m_journey, &PackageJourney::stateChanged, this, &PackageMapView::refresh);
    connect(m_journey, &PackageJourney::finished, this, [this] {
        m_canvas->setCamera(m_journey->mapPosition());
        m_framed = true;
    });
    refresh();
}

void PackageMapView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Each showing looks the places up again; the geocoder's cache makes that cheap.
    if (!event->spontaneous())
        m_journey->reload();
}

void PackageMapView::refresh()
{
    const QList<GeocodedEvent> &pins = m_journey->geocodedEvents();
    if (pins.isEmpty()) {
        m_framed = false;
        m_content = m_journey->isGeocoding() || !m_journey->package() ? Content::loading : Content::noLocationData;
    } else {
        m_content = Content::map;
    }
    QList<MapMarker> markers;
    markers.reserve(pins.size());
    for (const GeocodedEvent &pin : pins)
        markers.append({pin.coordinate, pin.event->status(), pin.locationLabel});
    m_canvas->setMarkers(markers);
    // The first pins of a slow run are framed at once; the run's own camera follows when it ends.
    if (!m_framed && !markers.isEmpty()) {
        m_framed = true;
        m_canvas->setCamera(std::nullopt);
    }
    m_stack->setCurrentIndex(static_cast<int>(m_content));
}
