#include "cli/clicommand.h"
#include "cli/cliservices.h"
#include "model/preferences.h"

namespace
{
const auto synopsis = QStringLiteral("config get KEY | config set KEY VALUE");

QString knownKeys()
{
    QStringList names;
    for (const Preferences::Key &key : Preferences::keys())
        names.append(key.name);
    return names.join(u", ");
}

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, QStringLiteral("config"), synopsis, 2, 3))
        co_return Cli::UsageError;
    const QStringList args = parser.positionalArguments();
    const QString action = args.at(0);
    const bool isGet = action == QLatin1String("get");
    const bool isSet = action == QLatin1String("set");
    if ((!isGet && !isSet) || (isGet && args.size() != 2) || (isSet && args.size() != 3)) {
        invocation.err << "kestrove-cli config: expected \"get KEY\" or \"set KEY VALUE\"\nusage: kestrove-cli "
                       << synopsis << '\n';
        invocation.err.flush();
        co_return Cli::UsageError;
    }
    const Preferences::Key *key = Preferences::key(args.at(1));
    if (!key) {
        co_return Cli::fail(
            invocation, QStringLiteral("unknown preference key \"%1\"; known keys: %2").arg(args.at(1), knownKeys()),
            Cli::UsageError);
    }

    Preferences *preferences = &invocation.services.preferences();
    if (isGet) {
        // The value the application would use: stored, or the fallback when absent or unusable.
        invocation.out << Preferences::format(preferences->value(key->name)) << '\n';
        invocation.out.flush();
        co_return Cli::Success;
    }
    auto parsed = Preferences::parse(*key, args.at(2));
    if (!parsed)
        co_return Cli::fail(invocation, parsed.error(), Cli::UsageError);
    if (auto stored = preferences->store(key->name, parsed.value()); !stored)
        co_return Cli::fail(invocation, stored.error());
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("config"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("read or write a preference of the application"),
                      .order = 140,
                      .run = run})
