#include "base/logmanager.h"
#include "cli/clicommand.h"
#include "cli/cliservices.h"

#include <QCoreApplication>
#include <QTextStream>
#include <qcoro/qcorotask.h>

#include <cstdio>
#include <unistd.h>

namespace
{
void printUsage(QTextStream &stream)
{
    stream << "Usage: kestrove-cli COMMAND [OPTIONS]\n\n"
           << "Track parcels from the command line, on the same store as the Kestrove application.\n\n"
           << "Commands:\n";
    // Long synopses get their summary on the next line, so the summaries stay in one column.
    constexpr qsizetype column = 40;
    const auto row = [&stream](const QString &left, const QString &right) {
        stream << "  " << left;
        if (left.size() < column)
            stream << QString(column - left.size(), QLatin1Char(' '));
        else
            stream << '\n' << QString(column + 2, QLatin1Char(' '));
        stream << right << '\n';
    };
    for (const Cli::Command &command : Cli::commands())
        row(command.synopsis, command.summary);
    stream << "\nOptions:\n";
    row(QStringLiteral("-h, --help"), QStringLiteral("show this help"));
    row(QStringLiteral("--version"), QStringLiteral("show the version"));
    stream.flush();
}
}

int main(int argc, char *argv[])
{
    // Without TZ, the C library looks at /etc/localtime again on every local-time conversion: a
    // stat per stored date a listing shows. A command lives for a moment; it reads the zone once.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("com.kestrove.app"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestrove"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTROVE_VERSION));

    // On a terminal an error shows once, as the command's own message, not again as a log line.
    LogManager::setStandardErrorFallback(!::isatty(STDERR_FILENO));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = app.arguments().mid(1);

    if (arguments.isEmpty()) {
        printUsage(err);
        return Cli::UsageError;
    }
    const QString first = arguments.takeFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        printUsage(out);
        return Cli::flushStandardOutput(out) ? Cli::Success : Cli::Failure;
    }
    if (first == QLatin1String("--version")) {
        out << "kestrove-cli " << QCoreApplication::applicationVersion() << '\n';
        return Cli::flushStandardOutput(out) ? Cli::Success : Cli::Failure;
    }

    const QList<Cli::Command> commands = Cli::commands();
    const auto command
        = std::find_if(commands.begin(), commands.end(), [&](const Cli::Command &c) { return c.name == first; });
    if (command == commands.end()) {
        err << "kestrove-cli: unknown command \"" << first << "\"; see kestrove-cli --help\n";
        return Cli::UsageError;
    }

    Cli::Services services;
    Cli::Invocation invocation {arguments, out, err, services};
    int exitCode = Cli::Failure;
    bool finished = false;
    QCoro::connect(Cli::execute(*command, invocation), &app, [&](int code) {
        exitCode = code;
        finished = true;
        QCoreApplication::exit(code);
    });
    // A command that never suspends has finished already, and exit() before exec() would be lost.
    if (!finished)
        app.exec();
    // Output that did not arrive (a full disk, /dev/full) is a failure, whatever the command said.
    if (!Cli::flushStandardOutput(out) && exitCode == Cli::Success)
        exitCode = Cli::fail(invocation, QStringLiteral("cannot write to standard output"));
    err.flush();
    return exitCode;
}
