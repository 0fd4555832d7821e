#include "ui/aboutsettingstab.h"

#include "base/endpoints.h"
#include "services/bugreport.h"
#include "services/updatechecker.h"
#include "ui/settingsform.h"
#include "ui/uistyle.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

AboutSettingsTab::AboutSettingsTab(UpdateChecker *updates, QWidget *parent)
    : QWidget(parent)
    , m_updates(updates)
{
    auto *icon = new QLabel;
    icon->setPixmap(UiStyle::symbol(QStringLiteral("shippingbox.fill"), 56,
                                    UiStyle::named(StatusColor::blue, palette()), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);

    auto *name = new QLabel(tr("Kestrove"));
    name->setFont(UiStyle::font(UiStyle::TextStyle::title2, name->font(), QFont::Bold));
    name->setAlignment(Qt::AlignCenter);

    QString versionText = QCoreApplication::applicationVersion();
    if (versionText.isEmpty())
        versionText = QStringLiteral("1.0");
    auto *version = new QLabel(tr("Version %1").arg(versionText));
    version->setObjectName(QStringLiteral("versionText"));
    version->setAlignment(Qt::AlignCenter);
    UiStyle::makeSecondary(version);

    m_updateRow = new QWidget;
    m_updateRow->setObjectName(QStringLiteral("updateAvailableRow"));
    auto *updateLayout = new QVBoxLayout(m_updateRow);
    updateLayout->setContentsMargins(0, 0, 0, 0);
    m_updateText = new QLabel;
    m_updateText->setObjectName(QStringLiteral("updateAvailableText"));
    m_updateText->setAlignment(Qt::AlignCenter);
    m_updateText->setFont(UiStyle::font(UiStyle::TextStyle::headline, m_updateText->font(), QFont::DemiBold));
    auto *download = new QPushButton(tr("Download Update"));
    download->setObjectName(QStringLiteral("downloadUpdateButton"));
    download->setDefault(true);
    updateLayout->addWidget(m_updateText);
    updateLayout->addWidget(download, 0, Qt::AlignHCenter);
    connect(download, &QPushButton::clicked, m_updates, &UpdateChecker::openUpdateURL);

    auto *checkRow = new QHBoxLayout;
    m_checkButton = new QPushButton(tr("Check for Updates"));
    m_checkButton->setObjectName(QStringLiteral("checkForUpdatesButton"));
    m_checkProgress = new QProgressBar;
    m_checkProgress->setRange(0, 0);
    m_checkProgress->setTextVisible(false);
    m_checkProgress->setFixedSize(64, 8);
    m_checkProgress->setAccessibleName(tr("Checking for updates"));
    checkRow->addStretch();
    checkRow->addWidget(m_checkButton);
    checkRow->addWidget(m_checkProgress);
    checkRow->addStretch();
    connect(m_checkButton, &QPushButton::clicked, this,
            [this] { [[maybe_unused]] auto task = m_updates->checkForUpdates(); });

    auto *bugButton = new QPushButton(tr("Report a Bug"));
    bugButton->setObjectName(QStringLiteral("reportBugButton"));
    connect(bugButton, &QPushButton::clicked, this, [] {
        QDesktopServices::openUrl(BugReport::mailtoUrl(Endpoints::supportAddress(), BugReport::currentSystem()));
    });

    auto *website = SettingsForm::linkButton(tr("Kestrove Website"), this);
    website->setObjectName(QStringLiteral("websiteLink"));
    connect(website, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(Endpoints::websiteUrl()); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(10);
    layout->addStretch();
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(8);
    layout->addWidget(m_updateRow);
    layout->addLayout(checkRow);
    layout->addWidget(bugButton, 0, Qt::AlignHCenter);
    layout->addWidget(website, 0, Qt::AlignHCenter);
    layout->addStretch();

    connect(m_updates, &UpdateChecker::updateAvailableChanged, this, &AboutSettingsTab::showUpdateState);
    connect(m_updates, &UpdateChecker::isCheckingChanged, this, &AboutSettingsTab::showUpdateState);
    showUpdateState();
}

void AboutSettingsTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    [[maybe_unused]] auto task = m_updates->checkIfNeeded();
}

void AboutSettingsTab::showUpdateState()
{
    const auto update = m_updates->updateAvailable();
    m_updateRow->setVisible(update.has_value());
    if (update)
        m_updateText->setText(tr("Version %1 is available!").arg(update->version));
    m_checkButton->setEnabled(!m_updates->isChecking());
    m_checkProgress->setVisible(m_updates->isChecking());
}
