#include "cli/clicommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace Cli
{
namespace
{
QList<Command> &registry()
{
    static QList<Command> commands;
    return commands;
}
}

bool registerCommand(Command command)
{
    registry().append(std::move(command));
    return true;
}

QList<Command> commands()
{
    QList<Command> sorted = registry();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Command &a, const Command &b) { return a.order < b.order; });
    return sorted;
}

bool parse(QCommandLineParser &parser, const Invocation &invocation, const QString &commandName,
           const QString &synopsis, qsizetype minPositional, qsizetype maxPositional)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    // QCommandLineParser expects the program name first.
    QStringList args = invocation.arguments;
    args.prepend(commandName);
    QString error;
    if (!parser.parse(args)) {
        error = parser.errorText();
    } else {
        const qsizetype count = parser.positionalArguments().size();
        if (count < minPositional)
            error = QStringLiteral("missing argument");
        else if (maxPositional >= 0 && count > maxPositional)
            error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().value(maxPositional));
    }
    if (error.isEmpty())
        return true;
    invocation.err << "kestrove-cli " << commandName << ": " << error << "\nusage: kestrove-cli " << synopsis << '\n';
    invocation.err.flush();
    return false;
}

int fail(Invocation &invocation, const QString &message, int code)
{
    invocation.err << "kestrove-cli: " << message << '\n';
    invocation.err.flush();
    return code;
}

void printJson(Invocation &invocation, const QJsonValue &value)
{
    QJsonDocument document;
    if (value.isArray())
        document = QJsonDocument(value.toArray());
    else if (value.isObject())
        document = QJsonDocument(value.toObject());
    if (document.isNull()) {
        // Scalars: QJsonDocument only wraps containers, so render through a one-element array.
        const QByteArray wrapped = QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact);
        invocation.out << QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2)) << '\n';
    } else {
        invocation.out << QString::fromUtf8(document.toJson(QJsonDocument::Indented));
    }
    invocation.out.flush();
}
}
