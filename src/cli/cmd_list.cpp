#include "cli/clicommand.h"
#include "cli/clistore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagejson.h"

#include <QJsonArray>

namespace {
const auto synopsis = QStringLiteral("list [--json]");

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringLiteral("json"), QStringLiteral("JSON output")));
    if (!Cli::parse(parser, invocation, QStringLiteral("list"), synopsis, 0, 0))
        co_return Cli::UsageError;
    ModelContext *context = Cli::openStore(invocation);
    if (!context)
        co_return Cli::Failure;
    auto packages = context->fetchPackages({}, Cli::listOrder);
    if (!packages)
        co_return Cli::fail(invocation, packages.error().description);

    if (parser.isSet(QStringLiteral("json"))) {
        if (packages.value().isEmpty()) {
            invocation.out << "[]\n"; // QJsonDocument would spread an empty array over two lines
            invocation.out.flush();
            co_return Cli::Success;
        }
        QJsonArray array;
        for (const Package *package : packages.value())
            array.append(PackageJson::toJson(*package, PackageJson::Events::omit));
        Cli::printJson(invocation, array);
        co_return Cli::Success;
    }
    if (packages.value().isEmpty())
        invocation.out << "No packages.\n";
    else
        Cli::printPackageTable(invocation.out, packages.value());
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({ .name = QStringLiteral("list"),
                       .synopsis = synopsis,
                       .summary = QStringLiteral("list the stored packages, pinned first, then newest first"),
                       .order = 60,
                       .run = run })
