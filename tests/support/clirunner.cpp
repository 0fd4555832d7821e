#include "clirunner.h"

#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

namespace TestSupport
{
std::unique_ptr<QProcess> startCli(const QStringList &arguments, const QByteArray &input,
                                   const QProcessEnvironment &environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->start(executablePath(QStringLiteral("kestrove-cli")), arguments);
    process->write(input);
    process->closeWriteChannel();
    return process;
}

CliRun finishCli(QProcess &process)
{
    // Not waitForFinished(): a fake server in the test answers from this thread's event loop.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
        process.kill();
        process.waitForFinished();
        return {-1, {}, QStringLiteral("kestrove-cli did not finish")};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

CliRun runCli(const QStringList &arguments, const QByteArray &input, const QProcessEnvironment &environment)
{
    const auto process = startCli(arguments, input, environment);
    return finishCli(*process);
}

QProcessEnvironment environmentWithoutSessionBus()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A socket that does not exist rather than no address, so nothing can autolaunch a bus either.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + QDir::homePath() + QStringLiteral("/no-session-bus"));
    return environment;
}

QString apiKeyFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/com.kestrove.app/.17track_api_key");
}

void removeStoreAndPreferences()
{
    QDir(ModelContainer::defaultDirectory()).removeRecursively();
    QFile::remove(QDir::homePath() + QStringLiteral("/.config/com.kestrove.app/Kestrove.conf"));
}

std::unique_ptr<ModelContext> openDefaultStore()
{
    auto opened = ModelContainer::open(ModelContainer::defaultStorePath());
    if (!opened) {
        QTest::qFail(qPrintable(opened.error()), __FILE__, __LINE__);
        return nullptr;
    }
    return std::move(opened).value();
}
}
