#include "ui/settingsview.h"

#include "ui/aboutsettingstab.h"
#include "ui/apikeyssettingstab.h"
#include "ui/notificationsettingstab.h"
#include "ui/uistyle.h"

#include <QEvent>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsView::SettingsView(const SettingsServices &services, QWidget *parent)
    : QWidget(parent)
    , m_tabs(new QTabWidget(this))
    , m_general(new GeneralSettingsTab(services.preferences, services.setLoginItem, m_tabs))
    , m_apiKeys(
          new APIKeysSettingsTab(services.preferences, services.apiKeys, services.tracking, services.clock, m_tabs))
    , m_notifications(new NotificationSettingsTab(services.preferences, services.clock, m_tabs))
    , m_about(new AboutSettingsTab(services.updates, m_tabs))
{
    setObjectName(QStringLiteral("settings-view"));
    m_tabs->setObjectName(QStringLiteral("settings-tabs"));
    m_tabs->setAccessibleName(tr("Settings"));
    m_tabs->setDocumentMode(true);
    m_general->setObjectName(QStringLiteral("settings-general"));
    m_apiKeys->setObjectName(QStringLiteral("settings-api-keys"));
    m_notifications->setObjectName(QStringLiteral("settings-notifications"));
    m_about->setObjectName(QStringLiteral("settings-about"));

    m_tabs->addTab(m_general, UiStyle::symbolIcon(QStringLiteral("gear"), palette()), tr("General"));
    m_tabs->addTab(m_apiKeys, UiStyle::symbolIcon(QStringLiteral("key"), palette()), tr("API Keys"));
    m_tabs->addTab(m_notifications, UiStyle::symbolIcon(QStringLiteral("bell"), palette()), tr("Notifications"));
    m_tabs->addTab(m_about, UiStyle::symbolIcon(QStringLiteral("info.circle"), palette()), tr("About"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
}

void SettingsView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::PaletteChange)
        return;
    // Theme icons do not follow a dark palette by themselves.
    const char *symbols[] = {"gear", "key", "bell", "info.circle"};
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->setTabIcon(i, UiStyle::symbolIcon(QLatin1String(symbols[i]), palette()));
}

void SettingsView::showTab(Tab tab)
{
    m_tabs->setCurrentIndex(int(tab));
}
