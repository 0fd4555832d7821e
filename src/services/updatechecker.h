#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include <array>
#include <chrono>
#include <optional>

class Clock;
class Preferences;
class QNetworkAccessManager;

/** A newer version found on Kestrove's web site. */
struct AppUpdateInfo {
    QString version;
    QUrl downloadURL;
    QString notes;

    friend bool operator==(const AppUpdateInfo &, const AppUpdateInfo &) = default;
};

/**
 * Finds out whether a newer Kestrove has been published: fetches the small JSON manifest
 * ({"version", "build", "url", "notes"}, all text) and compares its version with the running
 * one. By itself it checks at most once a week; it never downloads anything, it only opens the
 * download page when asked. Every failure is silent and changes nothing but isChecking.
 */
class UpdateChecker : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY isCheckingChanged)
public:
    /** Collaborators; clock and preferences are required and not owned. */
    struct Options {
        Clock *clock = nullptr;
        Preferences *preferences = nullptr;
        QNetworkAccessManager *network = nullptr; // none: one of its own
        QUrl manifestUrl; // empty: Endpoints::updateManifestUrl()
        QString currentVersion; // empty: the application's version, "0.0.0" when it has none
    };

    static constexpr std::chrono::seconds checkInterval {7 * 24 * 3600};
    static constexpr std::chrono::seconds requestTimeout {15};

    explicit UpdateChecker(Options options, QObject *parent = nullptr);

    [[nodiscard]] std::optional<AppUpdateInfo> updateAvailable() const { return m_updateAvailable; }
    [[nodiscard]] bool isChecking() const { return m_isChecking; }
    /** The last successful check, from "lastUpdateCheck" at first. */
    [[nodiscard]] std::optional<QDateTime> lastCheckDate() const { return m_lastCheckDate; }
    [[nodiscard]] QString currentVersion() const { return m_options.currentVersion; }

    /** checkForUpdates() unless the last successful check is less than a week old. */
    QCoro::Task<> checkIfNeeded();
    /** One check, whatever the date. */
    QCoro::Task<> checkForUpdates();
    /** Opens the update's download page in the browser; nothing without an update. */
    void openUpdateURL() const;

    /** Whether remote is a later version than local, comparing three numbers from the left. */
    [[nodiscard]] static bool isNewer(const QString &remote, const QString &local);
    /** The first three decimal numbers of a dotted version; pieces that are not numbers are dropped, zeros fill up. */
    [[nodiscard]] static std::array<qint64, 3> padVersion(const QString &version);

Q_SIGNALS:
    void isCheckingChanged();
    void updateAvailableChanged();
    void lastCheckDateChanged();

private:
    void setChecking(bool checking);

    Options m_options;
    std::optional<AppUpdateInfo> m_updateAvailable;
    std::optional<QDateTime> m_lastCheckDate;
    bool m_isChecking = false;
};
