#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

class ModelContext;

namespace TestSupport
{
/** What one run of kestrove-cli left behind; exitCode is -1 when it crashed or hung. */
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

/** Starts the built kestrove-cli with the given standard input (closed afterwards) and environment. */
std::unique_ptr<QProcess> startCli(const QStringList &arguments, const QByteArray &input = {},
                                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
/** Waits for a started kestrove-cli with the event loop running, so servers in the test can answer. */
CliRun finishCli(QProcess &process);
/** Runs kestrove-cli to its end. */
CliRun runCli(const QStringList &arguments, const QByteArray &input = {},
              const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

/** The test's environment with a session bus that does not exist: no Secret Service, only the key file. */
QProcessEnvironment environmentWithoutSessionBus();
/** The private path of the 17TRACK API key file kestrove-cli falls back to without a keychain. */
QString apiKeyFilePath();

/** Removes the store and the preferences file, so a case starts the way a new user does. */
void removeStoreAndPreferences();
/** Opens the default store as another process would; null (and a test failure) when it cannot. */
std::unique_ptr<ModelContext> openDefaultStore();
}
