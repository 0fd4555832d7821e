#pragma once

#include "base/result.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <limits>
#include <memory>
#include <optional>
#include <type_traits>

class QSettings;

/** The names of every stored preference. */
namespace PreferenceKeys
{
inline const QString hasCompletedOnboarding = QStringLiteral("hasCompletedOnboarding");
inline const QString selectedProvider = QStringLiteral("selectedProvider");
inline const QString refreshInterval = QStringLiteral("refreshInterval");
inline const QString clipboardMonitoringEnabled = QStringLiteral("clipboardMonitoringEnabled");
inline const QString autoArchiveDelivered = QStringLiteral("autoArchiveDelivered");
inline const QString autoDeleteEnabled = QStringLiteral("autoDeleteEnabled");
inline const QString autoDeleteDelay = QStringLiteral("autoDeleteDelay");
inline const QString launchAtLogin = QStringLiteral("launchAtLogin");
inline const QString notificationsEnabled = QStringLiteral("notificationsEnabled");
inline const QString notifyOnStatusChange = QStringLiteral("notifyOnStatusChange");
inline const QString soundNotifications = QStringLiteral("soundNotifications");
inline const QString quietHoursEnabled = QStringLiteral("quietHoursEnabled");
inline const QString quietHoursStart = QStringLiteral("quietHoursStart");
inline const QString quietHoursEnd = QStringLiteral("quietHoursEnd");
inline const QString lastUpdateCheck = QStringLiteral("lastUpdateCheck");
}

/**
 * The user's preferences: flat keys in QSettings (native format, organisation
 * "com.kestrove.app", application "Kestrove"), shared with kestrove-cli. Every getter
 * re-reads the file first, so a change made by the other process counts at the next read.
 * A value that is absent or does not convert to the key's type (text under a flag, "abc"
 * under a number) reads as the key's fallback.
 */
class Preferences : public QObject
{
    Q_OBJECT
public:
    enum class Type {
        flag, // stored as a boolean
        number, // stored as a double
        text,
    };

    /** One row of the key table. */
    struct Key {
        QString name;
        Type type;
        /** What the settings window shows and writes for a key never written; invalid when not in settings. */
        QVariant settingsDefault;
        /** What a reader uses when the key is absent or unusable. */
        QVariant readerFallback;
        /** Zero and negative values count as unset (the intervals). */
        bool positiveOnly = false;
        /** The documented range of a number; values beyond it are refused when set and clamped when read. */
        double minimum = -std::numeric_limits<double>::infinity();
        double maximum = std::numeric_limits<double>::infinity();
        /** The values a text may take; empty: any. Others are refused when set and read as the fallback. */
        QStringList choices = {};
    };

    /** The whole key table, in a stable order. */
    [[nodiscard]] static const QList<Key> &keys();
    /** The row of a key name, or nullptr for an unknown name. */
    [[nodiscard]] static const Key *key(const QString &name);

    /** Preferences in the file at filePath (INI), or in the application's own file when filePath is empty. */
    explicit Preferences(const QString &filePath = {}, QObject *parent = nullptr);
    ~Preferences() override;

    [[nodiscard]] QString filePath() const;

    /** The stored value as found in the file (invalid when absent); untyped lookup. */
    [[nodiscard]] QVariant storedValue(const QString &key) const;
    /** The stored value converted to the key's type, or the key's reader fallback. */
    [[nodiscard]] QVariant value(const QString &key) const;
    [[nodiscard]] std::optional<bool> flag(const QString &key) const;
    [[nodiscard]] std::optional<double> number(const QString &key) const;
    [[nodiscard]] std::optional<QString> text(const QString &key) const;
    /** Writes and flushes a value; emits valueChanged when it differs from the stored one. */
    void setValue(const QString &key, const QVariant &value);
    /** setValue(), telling whether the file could be written (a full disk, a read-only folder). */
    [[nodiscard]] Result<void, QString> store(const QString &key, const QVariant &value);
    void remove(const QString &key);

    [[nodiscard]] bool hasCompletedOnboarding() const;
    [[nodiscard]] QString selectedProvider() const;
    /** Seconds; absent or not greater than 0 counts as 900. */
    [[nodiscard]] double refreshInterval() const;
    [[nodiscard]] bool clipboardMonitoringEnabled() const;
    [[nodiscard]] bool autoArchiveDelivered() const;
    [[nodiscard]] bool autoDeleteEnabled() const;
    /** Seconds; absent or not greater than 0 counts as 43200. */
    [[nodiscard]] double autoDeleteDelay() const;
    [[nodiscard]] bool launchAtLogin() const;
    [[nodiscard]] bool notificationsEnabled() const;
    [[nodiscard]] bool notifyOnStatusChange() const;
    [[nodiscard]] bool soundNotifications() const;
    [[nodiscard]] bool quietHoursEnabled() const;
    /** Seconds after local midnight. */
    [[nodiscard]] double quietHoursStart() const;
    [[nodiscard]] double quietHoursEnd() const;
    /** Seconds since 1970; 0 means never checked. */
    [[nodiscard]] double lastUpdateCheck() const;

    void setHasCompletedOnboarding(bool value);
    void setSelectedProvider(const QString &value);
    void setRefreshInterval(double seconds);
    void setClipboardMonitoringEnabled(bool value);
    void setAutoArchiveDelivered(bool value);
    void setAutoDeleteEnabled(bool value);
    void setAutoDeleteDelay(double seconds);
    void setLaunchAtLogin(bool value);
    void setNotificationsEnabled(bool value);
    void setNotifyOnStatusChange(bool value);
    void setSoundNotifications(bool value);
    void setQuietHoursEnabled(bool value);
    void setQuietHoursStart(double seconds);
    void setQuietHoursEnd(double seconds);
    void setLastUpdateCheck(double secondsSince1970);

    /** Strict conversions of a stored value; nullopt when it does not convert. */
    [[nodiscard]] static std::optional<bool> toFlag(const QVariant &value);
    [[nodiscard]] static std::optional<double> toNumber(const QVariant &value);
    [[nodiscard]] static std::optional<QString> toText(const QVariant &value);
    /**
     * Parses command-line text for a key: "true"/"false" for flags, a finite number within the
     * key's range for numbers, one of the key's choices for texts.
     */
    [[nodiscard]] static Result<QVariant, QString> parse(const Key &key, const QString &text);
    /** Text form of a typed value: true/false, numbers without a needless fraction, text as is. */
    [[nodiscard]] static QString format(const QVariant &value);

Q_SIGNALS:
    /** A value was written or removed through this object. */
    void valueChanged(const QString &key);

private:
    std::unique_ptr<QSettings> m_settings;
};

/**
 * A typed view of one key: its own default when the key is absent or holds a value that
 * does not convert to T. T is bool, double or QString.
 */
template<typename T> class AppStorageBacked
{
public:
    /** A view of key in preferences (required, not owned). */
    AppStorageBacked(QString key, T defaultValue, Preferences *preferences)
        : m_key(std::move(key))
        , m_default(std::move(defaultValue))
        , m_preferences(preferences)
    { }

    [[nodiscard]] T value() const
    {
        const QVariant stored = m_preferences->storedValue(m_key);
        std::optional<T> converted;
        if constexpr (std::is_same_v<T, bool>)
            converted = Preferences::toFlag(stored);
        else if constexpr (std::is_same_v<T, double>)
            converted = Preferences::toNumber(stored);
        else
            converted = Preferences::toText(stored);
        return converted.value_or(m_default);
    }
    void setValue(const T &value) { m_preferences->setValue(m_key, QVariant::fromValue(value)); }
    [[nodiscard]] QString key() const { return m_key; }
    [[nodiscard]] T defaultValue() const { return m_default; }

private:
    QString m_key;
    T m_default;
    Preferences *m_preferences;
};
