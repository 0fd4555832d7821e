#include "services/clipboardmonitor.h"

#include "base/clock.h"
#include "base/textlength.h"
#include "carriers/carrierdetector.h"
#include "model/package.h"
#include "model/preferences.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMimeData>
#include <QPointer>

namespace
{
// A character the user sees may take several UTF-16 units; four each is more than any text the
// carrier rules accept (they match ASCII only). Longer texts are passed over without copying them.
constexpr qsizetype maximumUnits = ClipboardMonitor::maximumLength * 4;

qsizetype unitsBesidesSpacesAndHyphens(QStringView text)
{
    qsizetype count = 0;
    for (const QChar c : text) {
        if (c != u' ' && c != u'-' && ++count > maximumUnits)
            break;
    }
    return count;
}
}

ClipboardMonitor::ClipboardMonitor(QClipboard *clipboard, Preferences *preferences, Clock *clock, QObject *parent)
    : QObject(parent)
    , m_clipboard(clipboard)
    , m_preferences(preferences)
    , m_clock(clock)
{
    connect(m_clipboard, &QClipboard::dataChanged, this, [this] { ++m_changeCount; });
    connect(m_preferences, &Preferences::valueChanged, this, &ClipboardMonitor::preferenceChanged);
    // Wayland tells a client about the clipboard only while it has the focus.
    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive && m_monitoring)
                QMetaObject::invokeMethod(this, &ClipboardMonitor::checkClipboard, Qt::QueuedConnection);
        });
}

ClipboardMonitor::~ClipboardMonitor() = default;

void ClipboardMonitor::start()
{
    m_started = true;
    if (m_monitoring || !m_preferences->clipboardMonitoringEnabled())
        return;
    m_monitoring = true;
    m_lastChangeCount = m_changeCount;
    [[maybe_unused]] auto task = poll(++m_generation);
    Q_EMIT isMonitoringChanged();
}

void ClipboardMonitor::stop()
{
    if (!m_monitoring)
        return;
    m_monitoring = false;
    ++m_generation;
    Q_EMIT isMonitoringChanged();
}

void ClipboardMonitor::preferenceChanged(const QString &key)
{
    if (key != PreferenceKeys::clipboardMonitoringEnabled || !m_started)
        return;
    if (m_preferences->clipboardMonitoringEnabled())
        start();
    else
        stop();
}

QCoro::Task<> ClipboardMonitor::poll(quint64 generation)
{
    QPointer<ClipboardMonitor> self(this);
    Clock *clock = m_clock;
    while (true) {
        co_await clock->sleep(pollInterval);
        if (!self || self->m_generation != generation)
            co_return;
        self->checkClipboard();
    }
}

void ClipboardMonitor::checkClipboard()
{
    if (!m_monitoring || m_changeCount == m_lastChangeCount)
        return;
    // Recorded first, so that each change is examined once whatever it holds.
    m_lastChangeCount = m_changeCount;
    const QMimeData *data = m_clipboard->mimeData();
    if (!data || !data->hasText())
        return;
    const QString trimmed = data->text().trimmed();
    const std::optional<QString> number = candidate(trimmed);
    if (!number || m_recentlySeen.contains(*number) || CarrierDetector::detect(*number).isEmpty())
        return;
    // Emptied whole rather than trimmed: an old number may then be offered again, which is harmless.
    if (m_recentlySeen.size() > maxRecentCount)
        m_recentlySeen.clear();
    m_recentlySeen.insert(*number);
    // Published one event-loop turn later, as observers expect of a clipboard change.
    QMetaObject::invokeMethod(
        this,
        [this, trimmed] {
            setDetected(trimmed);
            Q_EMIT trackingNumberDetected(trimmed);
        },
        Qt::QueuedConnection);
}

std::optional<QString> ClipboardMonitor::candidate(const QString &trimmed) const
{
    if (unitsBesidesSpacesAndHyphens(trimmed) > maximumUnits)
        return std::nullopt;
    QString number = Package::normalizeTrackingNumber(trimmed);
    const qsizetype length = userPerceivedLength(number);
    if (length < minimumLength || length > maximumLength)
        return std::nullopt;
    return number;
}

void ClipboardMonitor::dismissDetected(const QString &number)
{
    m_recentlySeen.insert(Package::normalizeTrackingNumber(number));
    setDetected({});
}

void ClipboardMonitor::clearDetected()
{
    setDetected({});
}

void ClipboardMonitor::setDetected(const QString &number)
{
    if (m_detected == number)
        return;
    m_detected = number;
    Q_EMIT detectedTrackingNumberChanged();
}
