#include "carriers/carrier.h"
#include "carriers/carrierdetector.h"
#include "cli/clicommand.h"

namespace
{
const auto synopsis = QStringLiteral("url NUMBER [--carrier CODE]");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(
        QCommandLineOption(QStringLiteral("carrier"), QStringLiteral("carrier code"), QStringLiteral("CODE")));
    if (!Cli::parse(parser, invocation, QStringLiteral("url"), synopsis, 1, 1))
        co_return Cli::UsageError;

    const QString number = parser.positionalArguments().constFirst().trimmed();
    if (number.isEmpty())
        co_return Cli::fail(invocation, QStringLiteral("the tracking number is empty"), Cli::UsageError);

    QString code;
    if (parser.isSet(QStringLiteral("carrier"))) {
        code = parser.value(QStringLiteral("carrier"));
    } else {
        // The best offline guess; without one, the general tracking page (any unknown code leads there).
        const QList<CarrierDetectionResult> guesses = CarrierDetector::detect(number);
        code = guesses.isEmpty() ? QStringLiteral("unknown") : guesses.constFirst().carrierCode;
    }

    const QUrl url = Carrier::trackingURL(number, code);
    if (!url.isValid())
        co_return Cli::fail(invocation, QStringLiteral("no valid tracking address for \"%1\"").arg(number));
    invocation.out << url.toString(QUrl::FullyEncoded) << '\n';
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("url"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("print the carrier's public tracking page for a number"),
                      .order = 30,
                      .run = run})
