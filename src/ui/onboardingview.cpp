#include "ui/onboardingview.h"

#include "base/endpoints.h"
#include "model/preferences.h"
#include "notifications/notificationservice.h"
#include "ui/uistyle.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

/** One dot per page, the current one in the accent colour. */
class PageDots : public QWidget
{
public:
    PageDots(int count, QWidget *parent)
        : QWidget(parent)
        , m_count(count)
    {
        setObjectName(QStringLiteral("onboardingPageDots"));
        setFixedSize(count * diameter + (count - 1) * spacing, diameter);
    }

    void setCurrent(int current)
    {
        m_current = current;
        setAccessibleName(OnboardingView::tr("Page %1 of %2").arg(current + 1).arg(m_count));
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < m_count; ++i) {
            painter.setBrush(i == m_current ? UiStyle::accent(palette())
                                            : UiStyle::withAlpha(UiStyle::secondary(palette()), 0.3));
            painter.drawEllipse(QRectF(i * (diameter + spacing), 0, diameter, diameter));
        }
    }

private:
    static constexpr int diameter = 7;
    static constexpr int spacing = 6;
    int m_count;
    int m_current = 0;
};

namespace
{
/** A symbol filled with a top-to-bottom gradient of one colour. */
QLabel *gradientSymbol(const QString &symbol, int size, const QColor &color, QWidget *parent)
{
    const qreal ratio = parent->devicePixelRatioF();
    QPixmap pixmap = UiStyle::symbol(symbol, size, color, ratio).copy();
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    QLinearGradient gradient(0, 0, 0, size);
    gradient.setColorAt(0, color.lighter(135));
    gradient.setColorAt(1, color.darker(110));
    painter.fillRect(QRectF(0, 0, size, size), gradient);
    painter.end();
    auto *label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel *pageTitle(const QString &text, UiStyle::TextStyle style, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(UiStyle::font(style, label->font(), QFont::Bold));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel *pageText(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    // A fixed width: a wrapped label in a centring layout would otherwise get too little height.
    label->setFixedWidth(380);
    label->setMinimumHeight(label->heightForWidth(380));
    UiStyle::makeSecondary(label);
    return label;
}

/** A page: its content centred, with room above and below. */
QWidget *pageFrame(const QString &objectName, const QList<QWidget *> &content, QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(objectName);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    layout->addStretch();
    for (QWidget *widget : content) {
        widget->setParent(page);
        layout->addWidget(widget, 0, Qt::AlignHCenter);
    }
    layout->addStretch();
    return page;
}

QWidget *permissionRow(const QString &symbol, const QColor &color, const QString &title, const QString &description,
                       QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto *icon = new QLabel(row);
    icon->setPixmap(UiStyle::symbol(symbol, 20, color, row->devicePixelRatioF()));
    icon->setFixedWidth(28);
    icon->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto *titleLabel = new QLabel(title, row);
    titleLabel->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, titleLabel->font(), QFont::DemiBold));
    auto *descriptionLabel = new QLabel(description, row);
    descriptionLabel->setFont(UiStyle::font(UiStyle::TextStyle::caption, descriptionLabel->font()));
    descriptionLabel->setWordWrap(true);
    UiStyle::makeSecondary(descriptionLabel);
    texts->addWidget(titleLabel);
    texts->addWidget(descriptionLabel);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    return row;
}

QWidget *tipRow(const QString &shortcut, const QString &action, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto *key = new QLabel(shortcut, row);
    QFont keyFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    keyFont = UiStyle::font(UiStyle::TextStyle::caption, keyFont, QFont::DemiBold);
    key->setFont(keyFont);
    const QColor fill = UiStyle::withAlpha(UiStyle::secondary(row->palette()), 0.12);
    key->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(%1, %2, %3, %4); border-radius: 4px; padding: 2px 6px; }")
            .arg(fill.red())
            .arg(fill.green())
            .arg(fill.blue())
            .arg(fill.alphaF()));
    auto *text = new QLabel(action, row);
    text->setFont(UiStyle::font(UiStyle::TextStyle::caption, text->font()));
    UiStyle::makeSecondary(text);
    layout->addWidget(key);
    layout->addWidget(text);
    layout->addStretch();
    return row;
}
}

OnboardingView::OnboardingView(Preferences *preferences, NotificationService *notifications, QWidget *parent)
    : QDialog(parent)
    , m_preferences(preferences)
    , m_notifications(notifications)
    , m_pages(new QStackedWidget(this))
    , m_dots(new PageDots(totalPages, this))
    , m_back(new QPushButton(tr("Back"), this))
    , m_forward(new QPushButton(this))
{
    setObjectName(QStringLiteral("onboarding-view"));
    setWindowTitle(tr("Welcome to Kestrove"));
    setFixedSize(fixedSize);

    m_pages->setObjectName(QStringLiteral("onboardingPages"));
    m_pages->setMinimumHeight(340);
    m_pages->addWidget(welcomePage());
    m_pages->addWidget(apiKeyPage());
    m_pages->addWidget(permissionsPage());
    m_pages->addWidget(readyPage());

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    m_back->setObjectName(QStringLiteral("onboardingBack"));
    m_back->setAutoDefault(false);
    m_forward->setObjectName(QStringLiteral("onboardingForward"));
    m_forward->setDefault(true);
    m_forward->setMinimumWidth(120);
    m_forward->setMinimumHeight(m_forward->sizeHint().height() + 6);
    connect(m_back, &QPushButton::clicked, this, [this] { setCurrentPage(currentPage() - 1); });
    connect(m_forward, &QPushButton::clicked, this, &OnboardingView::goForward);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(20, 20, 20, 20);
    bar->addWidget(m_back);
    bar->addStretch();
    bar->addWidget(m_dots);
    bar->addStretch();
    bar->addWidget(m_forward);
    // Back is hidden on the first page; the dots stay in the middle all the same.
    QSizePolicy keepSpace = m_back->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    m_back->setSizePolicy(keepSpace);
    m_back->setMinimumWidth(m_forward->minimumWidth());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pages, 1);
    layout->addWidget(divider);
    layout->addLayout(bar);

    setCurrentPage(0);
}

int OnboardingView::currentPage() const
{
    return m_pages->currentIndex();
}

void OnboardingView::setCurrentPage(int page)
{
    page = std::clamp(page, 0, totalPages - 1);
    m_pages->setCurrentIndex(page);
    m_dots->setCurrent(page);
    m_back->setVisible(page > 0);
    const bool last = page == totalPages - 1;
    m_forward->setText(last ? tr("Get Started") : tr("Next"));
    m_forward->setFocus();
}

void OnboardingView::goForward()
{
    if (currentPage() < totalPages - 1) {
        setCurrentPage(currentPage() + 1);
        return;
    }
    m_preferences->setHasCompletedOnboarding(true);
    accept();
}

void OnboardingView::enableNotifications()
{
    // The answer is not shown: notifications are posted the same way either way.
    [[maybe_unused]] auto task = [](QPointer<NotificationService> notifications) -> QCoro::Task<> {
        if (notifications) [[maybe_unused]]
            const bool answered = co_await notifications->requestAuthorization();
    }(m_notifications);
}

QWidget *OnboardingView::welcomePage()
{
    return pageFrame(
        QStringLiteral("welcomePage"),
        {gradientSymbol(QStringLiteral("shippingbox.fill"), 64, UiStyle::named(StatusColor::blue, palette()), this),
         pageTitle(tr("Welcome to Kestrove"), UiStyle::TextStyle::largeTitle, this),
         pageText(tr("Track all your packages in one place.\nFast updates, smart notifications, and a "
                     "clean native Linux experience."),
                  this)},
        m_pages);
}

QWidget *OnboardingView::apiKeyPage()
{
    auto *links = new QWidget(this);
    auto *linksLayout = new QVBoxLayout(links);
    linksLayout->setContentsMargins(0, 0, 0, 0);
    linksLayout->setSpacing(8);
    auto *getKey = new QPushButton(UiStyle::symbolIcon(QStringLiteral("arrow.up.right.square"), palette()),
                                   tr("Get a Free API Key"), links);
    getKey->setObjectName(QStringLiteral("onboardingGetKey"));
    getKey->setAutoDefault(false);
    getKey->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, getKey->font(), QFont::Medium));
    connect(getKey, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(Endpoints::providerWebsite(QStringLiteral("17track"))); });
    auto *openSettings = new QPushButton(UiStyle::symbolIcon(QStringLiteral("key"), palette()),
                                         tr("Enter Your Key in Settings"), links);
    openSettings->setObjectName(QStringLiteral("onboardingOpenKeySettings"));
    openSettings->setAutoDefault(false);
    connect(openSettings, &QPushButton::clicked, this, &OnboardingView::apiKeySettingsRequested);
    auto *later = new QLabel(tr("You can add your API key later in Settings (Ctrl+,)"), links);
    later->setFont(UiStyle::font(UiStyle::TextStyle::caption, later->font()));
    later->setAlignment(Qt::AlignCenter);
    QPalette laterPalette = later->palette();
    laterPalette.setColor(QPalette::WindowText, UiStyle::tertiary(palette()));
    later->setPalette(laterPalette);
    linksLayout->addWidget(getKey, 0, Qt::AlignHCenter);
    linksLayout->addWidget(openSettings, 0, Qt::AlignHCenter);
    linksLayout->addWidget(later, 0, Qt::AlignHCenter);

    return pageFrame(
        QStringLiteral("apiKeyPage"),
        {gradientSymbol(QStringLiteral("key.fill"), 48, UiStyle::named(StatusColor::orange, palette()), this),
         pageTitle(tr("Tracking API Key"), UiStyle::TextStyle::title, this),
         pageText(tr("Kestrove uses 17track to fetch tracking data from carriers worldwide. You'll need "
                     "a free API key to get started."),
                  this),
         links},
        m_pages);
}

QWidget *OnboardingView::permissionsPage()
{
    auto *rows = new QWidget(this);
    rows->setFixedWidth(360);
    auto *rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(12);
    rowsLayout->addWidget(permissionRow(QStringLiteral("bell.fill"), UiStyle::named(StatusColor::red, palette()),
                                        tr("Notifications"),
                                        tr("Get alerts when packages are delivered or have issues"), rows));
    rowsLayout->addWidget(permissionRow(QStringLiteral("doc.on.clipboard"),
                                        UiStyle::named(StatusColor::blue, palette()), tr("Clipboard Monitoring"),
                                        tr("Auto-detect tracking numbers you copy (optional, off by default)"), rows));
    rowsLayout->addWidget(permissionRow(QStringLiteral("key.fill"), UiStyle::named(StatusColor::orange, palette()),
                                        tr("Keyring Access"), tr("Securely store your API key in the system keyring"),
                                        rows));

    auto *enable = new QPushButton(tr("Enable Notifications"), this);
    enable->setObjectName(QStringLiteral("onboardingEnableNotifications"));
    enable->setAutoDefault(false);
    connect(enable, &QPushButton::clicked, this, &OnboardingView::enableNotifications);

    return pageFrame(
        QStringLiteral("permissionsPage"),
        {gradientSymbol(QStringLiteral("bell.badge.fill"), 48, UiStyle::named(StatusColor::green, palette()), this),
         pageTitle(tr("Permissions"), UiStyle::TextStyle::title, this),
         pageText(tr("Kestrove works best with these permissions enabled:"), this), rows, enable},
        m_pages);
}

QWidget *OnboardingView::readyPage()
{
    auto *tips = new QWidget(this);
    auto *tipsLayout = new QVBoxLayout(tips);
    tipsLayout->setContentsMargins(0, 8, 0, 0);
    tipsLayout->setSpacing(8);
    tipsLayout->addWidget(tipRow(tr("Ctrl+N"), tr("Add a new package"), tips));
    tipsLayout->addWidget(tipRow(tr("Ctrl+R"), tr("Refresh all packages"), tips));
    tipsLayout->addWidget(tipRow(tr("Ctrl+,"), tr("Open Settings"), tips));

    return pageFrame(QStringLiteral("readyPage"),
                     {gradientSymbol(QStringLiteral("checkmark.circle.fill"), 64,
                                     UiStyle::named(StatusColor::green, palette()), this),
                      pageTitle(tr("You're All Set!"), UiStyle::TextStyle::largeTitle, this),
                      pageText(tr("Start by adding your first package using the + button or Ctrl+N. Kestrove lives "
                                  "in your system tray for quick access."),
                               this),
                      tips},
                     m_pages);
}
