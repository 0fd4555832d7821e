#include "ui/journeywindow.h"

#include "model/package.h"
#include "ui/mapcanvas.h"
#include "ui/packagemapview.h"
#include "ui/uistyle.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

JourneyWindow::JourneyWindow(Package *package, const JourneyMapServices &services, QWidget *parent)
    : JourneyWindow(new PackageJourney(package, services.geocoder, services.clock), services.tiles, parent)
{
    m_journey->setParent(this);
}

JourneyWindow::JourneyWindow(PackageJourney *journey, MapTileService *tiles, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_journey(journey)
    , m_subtitle(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_mapView(new PackageMapView(journey, tiles, PackageMapView::Form::full, this))
{
    setObjectName(QStringLiteral("journey-window"));
    setWindowTitle(tr("Package Journey"));

    auto *title = new QLabel(tr("Package Journey"), this);
    title->setFont(UiStyle::font(UiStyle::TextStyle::headline, font()));
    m_subtitle->setObjectName(QStringLiteral("journeySubtitle"));
    m_subtitle->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    m_subtitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
    UiStyle::makeSecondary(m_subtitle);
    m_progress->setObjectName(QStringLiteral("geocodingProgress"));
    m_progress->setAccessibleName(tr("Looking up locations"));
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(90, 8);

    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeJourneyButton"));
    close->setAutoRaise(true);
    close->setAccessibleName(tr("Close"));
    close->setToolTip(tr("Close (Esc)"));
    close->setIconSize(QSize(18, 18));
    UiStyle::setSymbol(close, QStringLiteral("xmark.circle.fill"));
    connect(close, &QToolButton::clicked, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto *titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(title);
    titles->addWidget(m_subtitle);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(14, 10, 10, 10);
    header->addLayout(titles);
    header->addStretch();
    header->addWidget(m_progress);
    header->addSpacing(6);
    header->addWidget(close);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(divider);
    layout->addWidget(m_mapView, 1);

    connect(m_journey, &PackageJourney::stateChanged, this, &JourneyWindow::updateHeader);
    if (Package *package = m_journey->package())
        connect(package, &Package::changed, this, &JourneyWindow::updateHeader);
    updateHeader();

    resize(800, 600);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_mapView->canvas()->setFocus();
}

void JourneyWindow::updateHeader()
{
    const Package *package = m_journey->package();
    m_subtitle->setText(!package                         ? QString()
                            : package->label().isEmpty() ? package->trackingNumber()
                                                         : package->label());
    m_progress->setVisible(m_journey->isGeocoding());
    m_progress->setRange(0, std::max(1, m_journey->candidateCount()));
    m_progress->setValue(m_journey->lookedUpCount());
}
