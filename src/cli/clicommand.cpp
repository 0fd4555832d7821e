#include "cli/clicommand.h"

#include "base/visibletext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>

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

QCoro::Task<int> execute(const Command &command, Invocation &invocation)
{
    QString failure;
    try {
        co_return co_await command.run(invocation);
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("out of memory");
    } catch (const std::exception &error) {
        failure = QString::fromLocal8Bit(error.what());
    } catch (...) {
        failure = QStringLiteral("unexpected error");
    }
    co_return fail(invocation, command.name + QStringLiteral(" stopped: ") + failure);
}

bool flushStandardOutput(QTextStream &out)
{
    out.flush();
    return out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout);
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
    bool parsed = parser.parse(args);
    if (!parsed && !args.contains(QStringLiteral("--"))) {
        // "config set quietHoursStart -5": a negative number is a value, not an unknown option. Only
        // when the line fails as it is, since an option's value may be negative as well ("--label -5").
        static const QRegularExpression negativeNumber(QStringLiteral("^-[0-9.]"));
        const qsizetype first = args.indexOf(negativeNumber);
        if (first > 0) {
            args.insert(first, QStringLiteral("--"));
            parsed = parser.parse(args);
        }
    }
    if (!parsed) {
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
    invocation.err << "kestrove-cli: " << visibleText(message) << '\n';
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
