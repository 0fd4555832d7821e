#include "ui/generalsettingstab.h"

#include "base/logmanager.h"
#include "model/preferences.h"
#include "ui/settingsform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

GeneralSettingsTab::GeneralSettingsTab(Preferences *preferences, LoginItemSetter setLoginItem, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
    , m_setLoginItem(std::move(setLoginItem))
{
    QVBoxLayout *page = nullptr;
    QScrollArea *scroll = SettingsForm::page(QStringLiteral("settings-general-page"), page, this);

    QVBoxLayout *startup = SettingsForm::section(tr("Startup"), page);
    m_launchAtLogin = new QCheckBox(tr("Launch at Login"));
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLoginToggle"));
    startup->addWidget(m_launchAtLogin);
    startup->addWidget(SettingsForm::caption(
        tr("Kestrove lives in your system tray. It appears in the taskbar and Alt+Tab only when a window is open."),
        this));
    connect(m_launchAtLogin, &QCheckBox::toggled, this, &GeneralSettingsTab::setLaunchAtLogin);

    QVBoxLayout *refresh = SettingsForm::section(tr("Refresh"), page);
    auto *refreshForm = new QFormLayout;
    m_refreshInterval = new QComboBox;
    m_refreshInterval->setObjectName(QStringLiteral("refreshIntervalPicker"));
    SettingsForm::fillIntervalPicker(m_refreshInterval, SettingsForm::refreshIntervalChoices());
    refreshForm->addRow(tr("Default Refresh Interval"), m_refreshInterval);
    refresh->addLayout(refreshForm);
    refresh->addWidget(SettingsForm::caption(tr("How often Kestrove checks for tracking updates. Longer intervals are "
                                                "ideal for customs or international shipments."),
                                             this));
    connect(m_refreshInterval, &QComboBox::activated, this,
            [this] { m_preferences->setRefreshInterval(m_refreshInterval->currentData().toDouble()); });

    QVBoxLayout *automation = SettingsForm::section(tr("Automation"), page);
    m_clipboardMonitoring = new QCheckBox(tr("Monitor clipboard for tracking numbers"));
    m_clipboardMonitoring->setObjectName(QStringLiteral("clipboardMonitoringToggle"));
    automation->addWidget(m_clipboardMonitoring);
    automation->addWidget(SettingsForm::caption(tr("When enabled, Kestrove will detect tracking numbers copied to your "
                                                   "clipboard and offer to add them."),
                                                this));
    connect(m_clipboardMonitoring, &QCheckBox::toggled, m_preferences, &Preferences::setClipboardMonitoringEnabled);

    QVBoxLayout *delivered = SettingsForm::section(tr("When a package is delivered"), page);
    m_autoArchive = new QCheckBox(tr("Auto-archive on delivery"));
    m_autoArchive->setObjectName(QStringLiteral("autoArchiveToggle"));
    delivered->addWidget(m_autoArchive);
    delivered->addWidget(
        SettingsForm::caption(tr("Archived packages stay in your records but are hidden from the active list."), this));
    connect(m_autoArchive, &QCheckBox::toggled, m_preferences, &Preferences::setAutoArchiveDelivered);

    m_autoDelete = new QCheckBox(tr("Auto-delete delivered packages"));
    m_autoDelete->setObjectName(QStringLiteral("autoDeleteToggle"));
    delivered->addWidget(m_autoDelete);
    connect(m_autoDelete, &QCheckBox::toggled, m_preferences, &Preferences::setAutoDeleteEnabled);

    m_autoDeleteDetails = new QWidget;
    auto *details = new QVBoxLayout(m_autoDeleteDetails);
    details->setContentsMargins(0, 0, 0, 0);
    auto *delayForm = new QFormLayout;
    m_autoDeleteDelay = new QComboBox;
    m_autoDeleteDelay->setObjectName(QStringLiteral("autoDeleteDelayPicker"));
    SettingsForm::fillIntervalPicker(m_autoDeleteDelay, SettingsForm::autoDeleteChoices());
    delayForm->addRow(tr("Delete after"), m_autoDeleteDelay);
    details->addLayout(delayForm);
    details->addWidget(
        SettingsForm::caption(tr("Delivered packages are permanently removed after the selected time period."), this));
    delivered->addWidget(m_autoDeleteDetails);
    connect(m_autoDeleteDelay, &QComboBox::activated, this,
            [this] { m_preferences->setAutoDeleteDelay(m_autoDeleteDelay->currentData().toDouble()); });

    page->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    load();
    connect(m_preferences, &Preferences::valueChanged, this, &GeneralSettingsTab::load);
}

void GeneralSettingsTab::load()
{
    const QSignalBlocker launch(m_launchAtLogin);
    const QSignalBlocker clipboard(m_clipboardMonitoring);
    const QSignalBlocker archive(m_autoArchive);
    const QSignalBlocker remove(m_autoDelete);
    m_launchAtLogin->setChecked(m_preferences->launchAtLogin());
    SettingsForm::selectInterval(m_refreshInterval, m_preferences->refreshInterval());
    m_clipboardMonitoring->setChecked(m_preferences->clipboardMonitoringEnabled());
    m_autoArchive->setChecked(m_preferences->autoArchiveDelivered());
    m_autoDelete->setChecked(m_preferences->autoDeleteEnabled());
    m_autoDeleteDetails->setVisible(m_autoDelete->isChecked());
    SettingsForm::selectInterval(m_autoDeleteDelay, m_preferences->autoDeleteDelay());
}

void GeneralSettingsTab::setLaunchAtLogin(bool enabled)
{
    m_preferences->setLaunchAtLogin(enabled);
    const auto registered = m_setLoginItem ? m_setLoginItem(enabled) : Result<void, QString>();
    if (!registered) {
        LogManager::log(QStringLiteral("Failed to ")
                        + (enabled ? QStringLiteral("register") : QStringLiteral("unregister"))
                        + QStringLiteral(" the login item: ") + registered.error());
        // The toggle returns to where it was.
        m_preferences->setLaunchAtLogin(!enabled);
    }
}
