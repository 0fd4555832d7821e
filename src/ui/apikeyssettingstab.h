#pragma once

#include <QWidget>
#include <qcoro/qcorotask.h>

class ApiKeyStore;
class Clock;
class Preferences;
class QGroupBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TrackingService;

/** What the API Keys tab knows about the stored key; it says only whether a key was stored. */
enum class APIKeyStatus {
    configured,
    notConfigured,
    invalid,
    unknown,
};

/**
 * The "API Keys" tab: the provider choice, the key field with "Test Connection" and the key's
 * status, and, for a stored 17TRACK key, how much of the account's tracking allowance is left.
 */
class APIKeysSettingsTab : public QWidget
{
    Q_OBJECT
public:
    APIKeysSettingsTab(Preferences *preferences, ApiKeyStore *apiKeys, TrackingService *tracking, Clock *clock,
                       QWidget *parent = nullptr);

    [[nodiscard]] APIKeyStatus keyStatus() const { return m_keyStatus; }
    [[nodiscard]] bool isTesting() const { return m_isTesting; }

    /** Shows the stored key in the field (configured), or notConfigured when none is stored. */
    void loadExistingKey();
    /** Stores the field's key; a second later the status says whether that worked. */
    QCoro::Task<> saveAndTestKey();
    /** Asks the provider for the remaining allowance of the stored key; shows nothing on any failure. */
    QCoro::Task<> refreshQuota();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void providerChosen(int index);
    void showSelectedProvider();
    void setKeyStatus(APIKeyStatus status);
    void setTesting(bool testing);
    void updateTestButton();

    Preferences *m_preferences;
    ApiKeyStore *m_apiKeys;
    TrackingService *m_tracking;
    Clock *m_clock;
    APIKeyStatus m_keyStatus = APIKeyStatus::unknown;
    bool m_isTesting = false;
    quint64 m_quotaRequest = 0;

    QComboBox *m_provider;
    QLabel *m_providerDescription;
    QWidget *m_comingSoon;
    QLabel *m_comingSoonText;
    QGroupBox *m_keySection;
    QLineEdit *m_keyField;
    QPushButton *m_getKeyLink;
    QPushButton *m_testButton;
    QProgressBar *m_testProgress;
    QLabel *m_statusIcon;
    QLabel *m_statusText;
    QLabel *m_quota;
};
