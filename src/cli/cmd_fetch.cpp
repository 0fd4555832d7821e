#include "base/visibletext.h"
#include "carriers/carrier.h"
#include "cli/clicommand.h"
#include "cli/cliservices.h"
#include "providers/seventeentrackprovider.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

namespace
{
const auto synopsis = QStringLiteral("fetch NUMBER [--carrier CODE] [--json]");

/** ISO 8601 in local time with its offset ("2026-03-04T14:12:00+01:00"), milliseconds only when present. */
QString isoDate(const QDateTime &date)
{
    const QDateTime local = date.toLocalTime();
    QString text = local.toString(local.time().msec() ? QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")
                                                      : QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    text += (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return text;
}

QJsonObject toJson(const TrackingResult &result)
{
    QJsonArray events;
    for (const TrackingResult::TrackingEventData &event : result.events) {
        events.append(QJsonObject {{QStringLiteral("timestamp"), isoDate(event.timestamp)},
                                   {QStringLiteral("status"), TrackingStatuses::rawValue(event.status)},
                                   {QStringLiteral("description"), event.description},
                                   {QStringLiteral("location"), event.location},
                                   {QStringLiteral("rawStatusCode"), event.rawStatusCode}});
    }
    QJsonObject object {{QStringLiteral("trackingNumber"), result.trackingNumber},
                        {QStringLiteral("carrierCode"), result.carrierCode},
                        {QStringLiteral("status"), TrackingStatuses::rawValue(result.status)},
                        {QStringLiteral("estimatedDelivery"),
                         result.estimatedDelivery ? QJsonValue(isoDate(*result.estimatedDelivery)) : QJsonValue()},
                        {QStringLiteral("events"), events}};
    if (result.rawResponse) {
        const QJsonDocument raw = QJsonDocument::fromJson(*result.rawResponse);
        if (raw.isObject())
            object.insert(QStringLiteral("rawResponse"), raw.object());
    }
    return object;
}

void printText(QTextStream &out, const TrackingResult &result)
{
    out << visibleText(result.trackingNumber) << '\n';
    if (!result.carrierCode.isEmpty())
        out << "Carrier:            " << visibleText(Carrier::displayName(result.carrierCode)) << " ("
            << visibleText(result.carrierCode) << ")\n";
    out << "Status:             " << TrackingStatuses::rawValue(result.status) << '\n';
    if (result.estimatedDelivery)
        out << "Estimated delivery: " << isoDate(*result.estimatedDelivery) << '\n';
    if (result.events.isEmpty()) {
        out << "No events yet.\n";
        return;
    }
    qsizetype dateWidth = 0;
    qsizetype statusWidth = 0;
    for (const auto &event : result.events) {
        dateWidth = std::max(dateWidth, isoDate(event.timestamp).size());
        statusWidth = std::max(statusWidth, TrackingStatuses::rawValue(event.status).size());
    }
    out << "Events, newest first:\n";
    for (const auto &event : result.events) {
        out << "  " << isoDate(event.timestamp).leftJustified(dateWidth) << "  "
            << TrackingStatuses::rawValue(event.status).leftJustified(statusWidth) << "  "
            << visibleText(event.description);
        if (!event.location.isEmpty())
            out << " (" << visibleText(event.location) << ')';
        out << '\n';
    }
}

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(
        QCommandLineOption(QStringLiteral("carrier"), QStringLiteral("carrier code"), QStringLiteral("CODE")));
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("JSON output")));
    if (!Cli::parse(parser, invocation, QStringLiteral("fetch"), synopsis, 1, 1))
        co_return Cli::UsageError;

    // Arguments are named before co_await: GCC 12 destroys a ?: temporary inside a co_await
    // expression twice, which corrupted the heap here.
    const QString number = parser.positionalArguments().constFirst();
    const QString code = parser.value(QStringLiteral("carrier"));
    const std::optional<QString> carrierCode = code.isEmpty() ? std::nullopt : std::optional(code);
    const std::unique_ptr<SeventeenTrackProvider> provider = invocation.services.makeProvider();
    const TrackingOutcome outcome = co_await provider->fetchTracking(number, carrierCode);
    if (!outcome.ok())
        co_return Cli::fail(invocation, outcome.error().description());

    if (parser.isSet(QStringLiteral("json"))) {
        Cli::printJson(invocation, toJson(outcome.value()));
    } else {
        printText(invocation.out, outcome.value());
        invocation.out.flush();
    }
    // The number is registered in the background after a real-time answer; finishing that
    // lets later refreshes find stored data.
    co_await provider->waitForBackgroundTasks();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("fetch"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("ask the tracking service about a number once, without storing it"),
                      .order = 40,
                      .run = run})
