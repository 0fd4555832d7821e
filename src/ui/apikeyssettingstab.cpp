#include "ui/apikeyssettingstab.h"

#include "base/clock.h"
#include "base/endpoints.h"
#include "model/preferences.h"
#include "providers/trackingprovider.h"
#include "services/apikeystore.h"
#include "tracking/trackingservice.h"
#include "ui/settingsform.h"
#include "ui/uistyle.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace
{
TrackingProviderType storedProvider(const Preferences &preferences)
{
    return TrackingProviderTypes::fromRawValue(preferences.selectedProvider())
        .value_or(TrackingProviderType::seventeenTrack);
}
}

APIKeysSettingsTab::APIKeysSettingsTab(Preferences *preferences, ApiKeyStore *apiKeys, TrackingService *tracking,
                                       Clock *clock, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
    , m_apiKeys(apiKeys)
    , m_tracking(tracking)
    , m_clock(clock)
{
    QVBoxLayout *page = nullptr;
    QScrollArea *scroll = SettingsForm::page(QStringLiteral("settings-api-keys-page"), page, this);

    QVBoxLayout *providerSection = SettingsForm::section(tr("Tracking Provider"), page);
    auto *providerForm = new QFormLayout;
    m_provider = new QComboBox;
    m_provider->setObjectName(QStringLiteral("providerPicker"));
    for (const TrackingProviderType type : TrackingProviderTypes::allCases()) {
        const QString name = TrackingProviderTypes::displayName(type);
        m_provider->addItem(type == TrackingProviderType::seventeenTrack ? name : tr("%1 (Coming Soon)").arg(name),
                            TrackingProviderTypes::rawValue(type));
    }
    providerForm->addRow(tr("Default Provider"), m_provider);
    providerSection->addLayout(providerForm);
    m_providerDescription = SettingsForm::caption(QString(), this);
    m_providerDescription->setObjectName(QStringLiteral("providerDescription"));
    providerSection->addWidget(m_providerDescription);
    m_comingSoon = new QWidget;
    m_comingSoon->setObjectName(QStringLiteral("providerComingSoon"));
    auto *comingSoonRow = new QHBoxLayout(m_comingSoon);
    comingSoonRow->setContentsMargins(0, 0, 0, 0);
    auto *infoIcon = new QLabel;
    infoIcon->setPixmap(UiStyle::symbol(QStringLiteral("info.circle"), 14, UiStyle::named(StatusColor::blue, palette()),
                                        devicePixelRatioF()));
    m_comingSoonText = SettingsForm::caption(QString(), this);
    comingSoonRow->addWidget(infoIcon, 0, Qt::AlignTop);
    comingSoonRow->addWidget(m_comingSoonText, 1);
    providerSection->addWidget(m_comingSoon);
    connect(m_provider, &QComboBox::activated, this, &APIKeysSettingsTab::providerChosen);

    QVBoxLayout *keySection = SettingsForm::section(QString(), page, &m_keySection);
    m_keySection->setObjectName(QStringLiteral("apiKeySection"));
    m_keyField = new QLineEdit;
    m_keyField->setObjectName(QStringLiteral("apiKeyField"));
    m_keyField->setEchoMode(QLineEdit::Password);
    m_keyField->setPlaceholderText(tr("Enter API Key"));
    m_keyField->setAccessibleName(tr("API Key"));
    keySection->addWidget(m_keyField);
    connect(m_keyField, &QLineEdit::textChanged, this, &APIKeysSettingsTab::updateTestButton);
    connect(m_keyField, &QLineEdit::returnPressed, this, [this] {
        if (m_testButton->isEnabled())
            m_testButton->click();
    });

    m_getKeyLink = SettingsForm::linkButton(QString(), this);
    m_getKeyLink->setObjectName(QStringLiteral("getApiKeyLink"));
    keySection->addWidget(m_getKeyLink);
    connect(m_getKeyLink, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(Endpoints::providerWebsite(m_provider->currentData().toString())); });

    auto *testRow = new QHBoxLayout;
    m_testButton = new QPushButton(tr("Test Connection"));
    m_testButton->setObjectName(QStringLiteral("testConnectionButton"));
    m_testProgress = new QProgressBar;
    m_testProgress->setObjectName(QStringLiteral("testConnectionProgress"));
    m_testProgress->setRange(0, 0); // busy
    m_testProgress->setTextVisible(false);
    m_testProgress->setFixedSize(64, 8);
    m_testProgress->setAccessibleName(tr("Testing the API key"));
    m_testProgress->hide();
    testRow->addWidget(m_testButton);
    testRow->addWidget(m_testProgress);
    testRow->addStretch();
    keySection->addLayout(testRow);
    connect(m_testButton, &QPushButton::clicked, this, [this] { [[maybe_unused]] auto task = saveAndTestKey(); });

    auto *statusRow = new QHBoxLayout;
    m_statusIcon = new QLabel;
    m_statusText = new QLabel;
    m_statusText->setObjectName(QStringLiteral("keyStatusText"));
    statusRow->addWidget(m_statusIcon);
    statusRow->addWidget(m_statusText);
    statusRow->addStretch();
    keySection->addLayout(statusRow);
    m_quota = SettingsForm::caption(QString(), this);
    m_quota->setObjectName(QStringLiteral("quotaText"));
    m_quota->hide();
    keySection->addWidget(m_quota);

    page->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    showSelectedProvider();
    setKeyStatus(APIKeyStatus::unknown);
    updateTestButton();
    connect(m_preferences, &Preferences::valueChanged, this, [this](const QString &key) {
        if (key == PreferenceKeys::selectedProvider)
            showSelectedProvider();
    });
    // The first read of the key may still run when the tab appears.
    connect(m_apiKeys, &ApiKeyStore::loaded, this, [this] {
        if (isVisible())
            loadExistingKey();
    });
}

void APIKeysSettingsTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    loadExistingKey();
    [[maybe_unused]] auto task = refreshQuota();
}

void APIKeysSettingsTab::providerChosen(int index)
{
    const auto type = TrackingProviderTypes::fromRawValue(m_provider->itemData(index).toString());
    if (!type)
        return;
    m_preferences->setSelectedProvider(TrackingProviderTypes::rawValue(*type));
    m_tracking->switchProvider(*type);
    showSelectedProvider();
}

void APIKeysSettingsTab::showSelectedProvider()
{
    const TrackingProviderType type = storedProvider(*m_preferences);
    const QString name = TrackingProviderTypes::displayName(type);
    m_provider->setCurrentIndex(m_provider->findData(TrackingProviderTypes::rawValue(type)));
    m_providerDescription->setText(TrackingProviderTypes::providerDescription(type));
    m_comingSoon->setVisible(type != TrackingProviderType::seventeenTrack);
    m_comingSoonText->setText(tr("%1 support is coming soon. Using 17track in the meantime.").arg(name));
    m_keySection->setTitle(tr("%1 API Key").arg(name));
    m_getKeyLink->setText(tr("Get an API key from %1").arg(name));
}

void APIKeysSettingsTab::loadExistingKey()
{
    if (!m_apiKeys->isLoaded())
        return; // the status stays unknown until the read ends
    const std::optional<QString> key = m_apiKeys->apiKey();
    if (key && !key->isEmpty()) {
        m_keyField->setText(*key);
        setKeyStatus(APIKeyStatus::configured);
    } else {
        setKeyStatus(APIKeyStatus::notConfigured);
    }
}

QCoro::Task<> APIKeysSettingsTab::saveAndTestKey()
{
    if (m_isTesting || m_keyField->text().trimmed().isEmpty())
        co_return;
    QPointer<APIKeysSettingsTab> self(this);
    setTesting(true);
    const QString input = m_keyField->text();
    const auto saved = co_await m_apiKeys->save(input);
    if (!self)
        co_return;
    co_await m_clock->sleep(std::chrono::seconds(1));
    if (!self)
        co_return;
    setTesting(false);
    // Stored counts whether the Secret Service or only the private file took it: either way
    // Kestrove reads the key from now on.
    setKeyStatus(saved.ok() ? APIKeyStatus::configured : APIKeyStatus::invalid);
    if (saved.ok()) {
        if (m_keyField->text() == input)
            m_keyField->setText(input.trimmed());
        co_await refreshQuota();
    }
}

QCoro::Task<> APIKeysSettingsTab::refreshQuota()
{
    QPointer<APIKeysSettingsTab> self(this);
    const quint64 request = ++m_quotaRequest;
    m_quota->hide();
    const std::optional<QString> key = m_apiKeys->apiKey();
    TrackingProvider *provider = m_tracking->provider();
    if (!key || key->isEmpty() || !provider)
        co_return;
    QPointer<TrackingProvider> guard(provider);
    const QuotaOutcome quota = co_await provider->fetchQuota();
    // Only the answer to the latest question counts.
    if (!self || request != m_quotaRequest || !quota.ok())
        co_return;
    m_quota->setText(tr("%1 of %2 tracking numbers left").arg(quota.value().remaining).arg(quota.value().total));
    m_quota->show();
}

void APIKeysSettingsTab::setKeyStatus(APIKeyStatus status)
{
    m_keyStatus = status;
    QString symbol;
    QColor color;
    QString text;
    switch (status) {
    case APIKeyStatus::configured:
        symbol = QStringLiteral("checkmark.circle.fill");
        color = UiStyle::named(StatusColor::green, palette());
        text = tr("Configured");
        break;
    case APIKeyStatus::invalid:
        symbol = QStringLiteral("xmark.circle.fill");
        color = UiStyle::named(StatusColor::red, palette());
        text = tr("Invalid");
        break;
    case APIKeyStatus::notConfigured:
        symbol = QStringLiteral("minus.circle");
        color = UiStyle::secondary(palette());
        text = tr("Not Configured");
        break;
    case APIKeyStatus::unknown:
        break;
    }
    m_statusIcon->setVisible(!symbol.isEmpty());
    m_statusText->setVisible(!text.isEmpty());
    if (symbol.isEmpty())
        return;
    m_statusIcon->setPixmap(UiStyle::symbol(symbol, 14, color, devicePixelRatioF()));
    m_statusText->setText(text);
    QPalette textPalette = m_statusText->palette();
    textPalette.setColor(QPalette::WindowText, color);
    m_statusText->setPalette(textPalette);
}

void APIKeysSettingsTab::setTesting(bool testing)
{
    m_isTesting = testing;
    m_testProgress->setVisible(testing);
    updateTestButton();
}

void APIKeysSettingsTab::updateTestButton()
{
    m_testButton->setEnabled(!m_isTesting && !m_keyField->text().trimmed().isEmpty());
}
