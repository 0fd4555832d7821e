#include "ui/packagemapsection.h"

#include "model/package.h"
#include "ui/journeywindow.h"
#include "ui/packagemapview.h"
#include "ui/uistyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

PackageMapSection::PackageMapSection(Package *package, const JourneyMapServices &services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_package(package)
    , m_journey(new PackageJourney(package, services.geocoder, services.clock, this))
    , m_mapView(new PackageMapView(m_journey, services.tiles, PackageMapView::Form::embedded, this))
{
    setObjectName(QStringLiteral("mapSection"));
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto *icon = new QLabel(this);
    icon->setPixmap(UiStyle::symbol(QStringLiteral("map"), 14, UiStyle::secondary(palette()), devicePixelRatioF()));
    auto *caption = new QLabel(tr("Journey Map"), this);
    caption->setFont(UiStyle::font(UiStyle::TextStyle::caption, font(), QFont::DemiBold));
    UiStyle::makeSecondary(caption);
    auto *open = new QToolButton(this);
    open->setObjectName(QStringLiteral("openJourneyButton"));
    open->setAutoRaise(true);
    open->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    open->setText(tr("Open Map"));
    open->setAccessibleName(tr("Open the journey map in its own window"));
    open->setToolTip(tr("Open the journey map in its own window"));
    UiStyle::setSymbol(open, QStringLiteral("macwindow"));
    connect(open, &QToolButton::clicked, this, &PackageMapSection::openJourneyWindow);

    auto *header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(icon);
    header->addWidget(caption);
    header->addStretch();
    header->addWidget(open);

    m_mapView->setFixedHeight(250);
    connect(m_mapView, &PackageMapView::openFullMapRequested, this, &PackageMapSection::openJourneyWindow);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(divider);
    layout->addLayout(header);
    layout->addWidget(m_mapView);

    if (package)
        connect(package, &Package::changed, this, &PackageMapSection::updateVisibility);
    updateVisibility();
}

PackageMapSection::~PackageMapSection()
{
    // The window borrows this section's journey; it must not outlive it.
    delete m_window;
}

JourneyWindow *PackageMapSection::journeyWindow() const
{
    return m_window;
}

void PackageMapSection::updateVisibility()
{
    // Always explicit: a new child counts as hidden without being hidden on purpose, and a layout
    // would show it.
    setVisible(m_package && PackageJourney::hasLocations(*m_package));
}

void PackageMapSection::openJourneyWindow()
{
    if (!m_window) {
        m_window = new JourneyWindow(m_journey, m_services.tiles);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
