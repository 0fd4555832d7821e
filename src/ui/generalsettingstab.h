#pragma once

#include "base/result.h"

#include <QWidget>

#include <functional>

class Preferences;
class QCheckBox;
class QComboBox;

/** The "General" tab: launch at login, the default refresh interval, the clipboard watch and delivered packages. */
class GeneralSettingsTab : public QWidget
{
    Q_OBJECT
public:
    /** Registers (true) or removes (false) the login item; the error says why that failed. */
    using LoginItemSetter = std::function<Result<void, QString>(bool)>;

    GeneralSettingsTab(Preferences *preferences, LoginItemSetter setLoginItem, QWidget *parent = nullptr);

    /** Stores the choice and registers or removes the login item; on failure the stored choice flips back. */
    void setLaunchAtLogin(bool enabled);

private:
    void load();

    Preferences *m_preferences;
    LoginItemSetter m_setLoginItem;
    QCheckBox *m_launchAtLogin;
    QComboBox *m_refreshInterval;
    QCheckBox *m_clipboardMonitoring;
    QCheckBox *m_autoArchive;
    QCheckBox *m_autoDelete;
    QWidget *m_autoDeleteDetails;
    QComboBox *m_autoDeleteDelay;
};
