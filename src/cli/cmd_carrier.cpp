#include "carriers/carrier.h"
#include "cli/clicommand.h"

#include <QJsonObject>

namespace
{
const auto synopsis = QStringLiteral("carrier CODE [--json]");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("JSON output")));
    if (!Cli::parse(parser, invocation, QStringLiteral("carrier"), synopsis, 1, 1))
        co_return Cli::UsageError;

    const QString stored = parser.positionalArguments().constFirst();
    const QString code = Carrier::normalizeCode(stored);
    if (code.isEmpty())
        co_return Cli::fail(invocation, QStringLiteral("the carrier code is empty"), Cli::UsageError);
    const QString name = Carrier::displayName(stored);
    const QString icon = Carrier::systemImage(stored);

    if (parser.isSet(QStringLiteral("json"))) {
        Cli::printJson(invocation,
                       QJsonObject {{QStringLiteral("carrierCode"), code},
                                    {QStringLiteral("carrierName"), name},
                                    {QStringLiteral("systemImage"), icon}});
    } else {
        invocation.out << "code: " << code << "\nname: " << name << "\nicon: " << icon << '\n';
        invocation.out.flush();
    }
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("carrier"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("show a carrier code's canonical form, name and icon"),
                      .order = 20,
                      .run = run})
