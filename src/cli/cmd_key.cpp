#include "cli/clicommand.h"
#include "cli/cliservices.h"
#include "services/keychainmanager.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

#include <optional>
#include <termios.h>
#include <unistd.h>

namespace
{
const auto synopsis = QStringLiteral("key set|status");

/** Turns off echo on a terminal for as long as it lives, so a typed key never shows. */
class EchoOff
{
public:
    explicit EchoOff(int fd)
        : m_fd(fd)
    {
        if (::tcgetattr(m_fd, &m_saved) != 0)
            return;
        termios silent = m_saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        m_active = ::tcsetattr(m_fd, TCSAFLUSH, &silent) == 0;
    }
    ~EchoOff()
    {
        if (m_active)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    int m_fd;
    termios m_saved {};
    bool m_active = false;
};

/** The key from standard input without its line break; an error text when there is none. */
std::optional<QString> readKey(Cli::Invocation &invocation, QString &error)
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read standard input");
        return std::nullopt;
    }
    QByteArray bytes;
    if (::isatty(STDIN_FILENO)) {
        invocation.err << "API key: ";
        invocation.err.flush();
        {
            EchoOff echoOff(STDIN_FILENO);
            bytes = input.readLine();
        }
        invocation.err << '\n';
        invocation.err.flush();
    } else {
        // Bounded: a key cannot be longer, and `key set < /dev/zero` must end.
        while (bytes.size() <= KeychainManager::maximumApiKeyBytes + 2) {
            const QByteArray chunk = input.read(KeychainManager::maximumApiKeyBytes + 3 - bytes.size());
            if (chunk.isEmpty())
                break;
            bytes += chunk;
        }
    }
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);

    if (bytes.isEmpty()) {
        error = QStringLiteral("no API key on standard input");
        return std::nullopt;
    }
    if (bytes.contains('\n') || bytes.contains('\r')) {
        error = QStringLiteral("the API key must be a single line");
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString key = decoder.decode(bytes);
    if (decoder.hasError()) {
        error = QStringLiteral("standard input is not UTF-8 text");
        return std::nullopt;
    }
    if (const auto problem = KeychainManager::apiKeyProblem(key)) {
        error = *problem;
        return std::nullopt;
    }
    return key;
}

QCoro::Task<int> run(Cli::Invocation &invocation)
{
    QCommandLineParser parser;
    if (!Cli::parse(parser, invocation, QStringLiteral("key"), synopsis, 1, 1))
        co_return Cli::UsageError;
    const QString action = parser.positionalArguments().constFirst();
    const QString keyName = QLatin1String(KeychainManager::apiKeyName);

    if (action == QLatin1String("status")) {
        const bool configured = KeychainManager::retrieve(keyName).has_value();
        invocation.out << "API key: " << (configured ? "configured" : "not configured") << '\n';
        invocation.out.flush();
        if (configured) {
            // The remaining allowance, when 17TRACK tells it; any failure leaves the line out.
            const auto provider = invocation.services.makeProvider();
            const QuotaOutcome quota = co_await provider->fetchQuota();
            if (quota.ok()) {
                invocation.out << "Quota: " << quota.value().remaining << " of " << quota.value().total
                               << " tracking numbers left\n";
                invocation.out.flush();
            }
        }
        co_return Cli::Success;
    }
    if (action != QLatin1String("set")) {
        invocation.err << "kestrove-cli key: unknown action \"" << action << "\"\nusage: kestrove-cli " << synopsis
                       << '\n';
        invocation.err.flush();
        co_return Cli::UsageError;
    }

    QString error;
    const std::optional<QString> key = readKey(invocation, error);
    if (!key)
        co_return Cli::fail(invocation, error);
    const auto saved = KeychainManager::save(keyName, *key);
    if (!saved)
        co_return Cli::fail(
            invocation, QStringLiteral("the API key was not saved (%1); the previous key is kept").arg(saved.error()));
    invocation.out << "API key saved.\n";
    if (!saved.value()) {
        // The private fallback file holds it, and the next read moves it into the keychain.
        invocation.err << "kestrove-cli: warning: the keychain did not accept the key; it is kept in the private "
                          "fallback file for now\n";
        invocation.err.flush();
    }
    invocation.out.flush();
    co_return Cli::Success;
}
}

KESTROVE_CLI_COMMAND({.name = QStringLiteral("key"),
                      .synopsis = synopsis,
                      .summary = QStringLiteral("store the 17TRACK API key (read from standard input), or tell "
                                                "whether one is stored"),
                      .order = 130,
                      .run = run})
