#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <qcoro/qcorotask.h>

#include <chrono>

class Clock;
class Preferences;
class QClipboard;

/**
 * Watches the clipboard for text that looks like a parcel tracking number and offers each such
 * number once (trackingNumberDetected). Runs only while "clipboardMonitoringEnabled" is on and
 * follows that preference as soon as it changes.
 *
 * The clipboard has no change counter of its own, so the monitor counts QClipboard::dataChanged;
 * every two seconds a tick compares the count with the one it saw last and reads the text only
 * when something was copied since. On Wayland a client hears of the clipboard only while one of
 * its windows has the focus, so a copy made elsewhere is seen when Kestrove is next activated;
 * the monitor then looks at once instead of waiting for its next tick.
 */
class ClipboardMonitor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString detectedTrackingNumber READ detectedTrackingNumber NOTIFY detectedTrackingNumberChanged)
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY isMonitoringChanged)
public:
    static constexpr std::chrono::milliseconds pollInterval {2000};
    /** The set of seen numbers is emptied when it holds more than this many. */
    static constexpr qsizetype maxRecentCount = 50;
    /** Lengths, in user-perceived characters, of a normalised text that may be a tracking number. */
    static constexpr qsizetype minimumLength = 8;
    static constexpr qsizetype maximumLength = 40;

    /** Reads clipboard and the preference in preferences; every wait goes through clock. None is owned. */
    ClipboardMonitor(QClipboard *clipboard, Preferences *preferences, Clock *clock, QObject *parent = nullptr);
    ~ClipboardMonitor() override;

    /** Starts watching when the preference is on; what is on the clipboard now is never offered. */
    void start();
    /** The user declined the offer of number: it is not offered again. */
    void dismissDetected(const QString &number);
    /** The user accepted the offer: the detected number is handled. */
    void clearDetected();

    /** The number most recently offered and not yet handled, as copied; empty when none. */
    [[nodiscard]] QString detectedTrackingNumber() const { return m_detected; }
    [[nodiscard]] bool isMonitoring() const { return m_monitoring; }
    /** Normalised numbers already offered or dismissed. */
    [[nodiscard]] const QSet<QString> &recentlySeenNumbers() const { return m_recentlySeen; }

    /** One tick: when the clipboard changed since the last look, examines its plain text. */
    void checkClipboard();

Q_SIGNALS:
    /** A number worth offering was copied: the copied text without surrounding blanks. */
    void trackingNumberDetected(const QString &trackingNumber);
    void detectedTrackingNumberChanged();
    void isMonitoringChanged();

private:
    void preferenceChanged(const QString &key);
    void stop();
    void setDetected(const QString &number);
    [[nodiscard]] std::optional<QString> candidate(const QString &trimmed) const;
    QCoro::Task<> poll(quint64 generation);

    QClipboard *m_clipboard;
    Preferences *m_preferences;
    Clock *m_clock;
    quint64 m_changeCount = 0;
    quint64 m_lastChangeCount = 0;
    quint64 m_generation = 0;
    bool m_started = false;
    bool m_monitoring = false;
    QString m_detected;
    QSet<QString> m_recentlySeen;
};
