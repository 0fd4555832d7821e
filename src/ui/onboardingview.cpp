#include "ui/onboardingview.h"

#include "model/preferences.h"
#include "ui/symbolicon.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

OnboardingView::OnboardingView(Preferences *preferences, QWidget *parent)
    : QDialog(parent)
    , m_preferences(preferences)
{
    setObjectName(QStringLiteral("onboarding-view"));
    setFixedSize(fixedSize);

    auto *icon = new QLabel(this);
    icon->setPixmap(
        SymbolIcon::tinted(QStringLiteral("shippingbox.fill"), 64, QColor(0x0a, 0x84, 0xff), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);

    auto *title = new QLabel(tr("Welcome to Kestrove"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    auto *text = new QLabel(tr("Track all your packages in one place."), this);
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setFixedWidth(380);
    QPalette textPalette = text->palette();
    textPalette.setColor(QPalette::WindowText, textPalette.color(QPalette::PlaceholderText));
    text->setPalette(textPalette);

    auto *page = new QVBoxLayout;
    page->setContentsMargins(24, 24, 24, 24);
    page->setSpacing(16);
    page->addStretch();
    page->addWidget(icon);
    page->addWidget(title);
    page->addWidget(text, 0, Qt::AlignHCenter);
    page->addStretch();

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto *getStartedButton = new QPushButton(tr("Get Started"), this);
    getStartedButton->setObjectName(QStringLiteral("onboarding-get-started"));
    getStartedButton->setDefault(true);
    connect(getStartedButton, &QPushButton::clicked, this, &OnboardingView::getStarted);
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(20, 20, 20, 20);
    bar->addStretch();
    bar->addWidget(getStartedButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(page, 1);
    layout->addWidget(divider);
    layout->addLayout(bar);
}

void OnboardingView::getStarted()
{
    m_preferences->setHasCompletedOnboarding(true);
    accept();
}
