#pragma once

#include "ui/generalsettingstab.h"

#include <QWidget>

class AboutSettingsTab;
class APIKeysSettingsTab;
class ApiKeyStore;
class Clock;
class NotificationSettingsTab;
class Preferences;
class QTabWidget;
class TrackingService;
class UpdateChecker;

/** What the settings tabs work with; none is owned. */
struct SettingsServices {
    Preferences *preferences = nullptr;
    ApiKeyStore *apiKeys = nullptr;
    TrackingService *tracking = nullptr;
    UpdateChecker *updates = nullptr;
    Clock *clock = nullptr;
    /** Registers or removes the login item (launch at login). */
    GeneralSettingsTab::LoginItemSetter setLoginItem;
};

/** The content of the settings window: the tabs "General", "API Keys", "Notifications" and "About". */
class SettingsView : public QWidget
{
    Q_OBJECT
public:
    enum class Tab {
        general,
        apiKeys,
        notifications,
        about,
    };

    explicit SettingsView(const SettingsServices &services, QWidget *parent = nullptr);

    [[nodiscard]] QTabWidget *tabs() const { return m_tabs; }
    void showTab(Tab tab);

    [[nodiscard]] GeneralSettingsTab *generalTab() const { return m_general; }
    [[nodiscard]] APIKeysSettingsTab *apiKeysTab() const { return m_apiKeys; }
    [[nodiscard]] NotificationSettingsTab *notificationsTab() const { return m_notifications; }
    [[nodiscard]] AboutSettingsTab *aboutTab() const { return m_about; }

protected:
    void changeEvent(QEvent *event) override;

private:
    QTabWidget *m_tabs;
    GeneralSettingsTab *m_general;
    APIKeysSettingsTab *m_apiKeys;
    NotificationSettingsTab *m_notifications;
    AboutSettingsTab *m_about;
};
