#pragma once

#include <QCommandLineParser>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <qcoro/qcorotask.h>

#include <functional>

namespace Cli
{
enum ExitCode {
    Success = 0,
    Failure = 1, // the command ran and failed (unknown number, store error, provider error)
    UsageError = 2, // the command line itself is wrong
};

class Services;

/** What a command gets: its own arguments (without the command name), the two output streams and the services. */
struct Invocation {
    QStringList arguments;
    QTextStream &out;
    QTextStream &err;
    Services &services;
};

struct Command {
    QString name; // "config" for "config get"; the command splits sub-commands itself
    QString synopsis; // "list [--filter F] [--json]"
    QString summary; // one line for --help
    int order = 0; // position in --help
    std::function<QCoro::Task<int>(Invocation &)> run;
};

/**
 * Runs the command to its end. An exception thrown inside it (out of memory, say) ends it with a
 * message on err and Failure instead of vanishing inside the coroutine machinery.
 */
[[nodiscard]] QCoro::Task<int> execute(const Command &command, Invocation &invocation);

/**
 * Flushes standard output (the stream and the C library's buffer); false when anything written
 * to it was lost, as on a full disk.
 */
[[nodiscard]] bool flushStandardOutput(QTextStream &out);

/** Adds a command; called from static initialisers through KESTROVE_CLI_COMMAND. */
bool registerCommand(Command command);
/** Every registered command, in help order. */
[[nodiscard]] QList<Command> commands();

/**
 * Parses a command's arguments against its options and positional names.
 * On error prints "kestrove-cli NAME: message" and the synopsis to err and returns false.
 */
bool parse(QCommandLineParser &parser, const Invocation &invocation, const QString &commandName,
           const QString &synopsis, qsizetype minPositional, qsizetype maxPositional);

/** Prints a message to err as "kestrove-cli: message" and returns the exit code. */
int fail(Invocation &invocation, const QString &message, int code = Failure);

/** Writes JSON (indented) followed by a line break. */
void printJson(Invocation &invocation, const QJsonValue &value);
}

#define KESTROVE_CLI_CONCAT_INNER(a, b) a##b
#define KESTROVE_CLI_CONCAT(a, b) KESTROVE_CLI_CONCAT_INNER(a, b)
/** Registers a Cli::Command at start-up: KESTROVE_CLI_COMMAND({.name = ..., ...}) */
#define KESTROVE_CLI_COMMAND(...)                                                                                      \
    namespace                                                                                                          \
    {                                                                                                                  \
    [[maybe_unused]] const bool KESTROVE_CLI_CONCAT(s_registered_, __LINE__) = Cli::registerCommand(__VA_ARGS__);      \
    }
