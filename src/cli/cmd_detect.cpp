#include "carriers/carrierdetector.h"
#include "cli/clicommand.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace
{
const auto synopsis = QStringLiteral("detect NUMBER... [--json]");

QJsonArray toJson(const QList<CarrierDetectionResult> &results)
{
    QJsonArray array;
    for (const CarrierDetectionResult &result : results) {
        array.append(QJsonObject {{QStringLiteral("carrierCode"), result.carrierCode},
                                  {QStringLiteral("carrierName"), result.carrierName},
                                  {QStringLiteral("confidence"), result.confidence}});
    }
    return array;
}

void printText(Cli::Invocation &invocation, const QList<CarrierDetectionResult> &results, const QString &indent)
{
    if (results.isEmpty()) {
        invocation.out << indent << "no carrier recognised\n";
        return;
    }
    // Columns aligned within one number's guesses.
    qsizetype codeWidth = 0;
    qsizetype nameWidth = 0;
    for (const CarrierDetectionResult &result : results) {
        codeWidth = std::max(codeWidth, result.carrierCode.size());
        nameWidth = std::max(nameWidth, result.carrierName.size());
    }
    for (const CarrierDetectionResult &result : results) {
        invocation.out << indent << result.carrierCode.leftJustified(codeWidth) << "  "
                       << result.carrierName.leftJustified(nameWidth) << "  " << qRound(result.confidence * 100)
                       << "%\n";
    }
}

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("JSON output")));
    if (!Cli::parse(parser, invocation, QStringLiteral("detect"), synopsis, 1, -1))
        co_return Cli::UsageError;

    const QStringList numbers = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("json"))) {
        if (numbers.size() == 1) {
            Cli::printJson(invocation, toJson(CarrierDetector::detect(numbers.constFirst())));
        } else {
            QJsonArray all;
            for (const QString &number : numbers)
                all.append(toJson(CarrierDetector::detect(number)));
            Cli::printJson(invocation, all);
        }
        co_return Cli::Success;
    }

    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (numbers.size() == 1) {
            printText(invocation, CarrierDetector::detect(numbers.at(i)), QString());
            continue;
        }
        if (i > 0)
            invocation.out << '\n';
        invocation.out << numbers.at(i) << ":\n";
        printText(invocation, CarrierDetector::detect(numbers.at(i)), QStringLiteral("  "));
    }
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("detect"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("guess the carrier from the shape of tracking numbers, offline"),
                      .order = 10,
                      .run = run})
