#include "base/logmanager.h"

#include "base/visibletext.h"

#include <QByteArray>
#include <QMutex>

#include <atomic>
#include <cstdio>
#include <syslog.h>
#include <unistd.h>

#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

namespace
{
QMutex s_mutex;
std::function<void(const QString &)> s_observer;
std::atomic<bool> s_standardErrorFallback {true};

bool journalReachable()
{
    // sd_journal_send() reports success even when no journal listens; opening a
    // stream is the reliable probe. Decided once per process.
    static const bool reachable = [] {
        const int fd = sd_journal_stream_fd("kestrove", LOG_NOTICE, 0);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }();
    return reachable;
}
}

void LogManager::log(const QString &message)
{
    const QByteArray utf8 = message.toUtf8();
    if (journalReachable()) {
        sd_journal_send("MESSAGE=%s", utf8.constData(), "PRIORITY=%d", LOG_NOTICE, "SYSLOG_IDENTIFIER=kestrove",
                        "KESTROVE_SUBSYSTEM=%s", subsystem, "KESTROVE_CATEGORY=%s", category, nullptr);
    } else if (s_standardErrorFallback) {
        // A label or a server's message may carry terminal escapes; shown, never obeyed.
        std::fprintf(stderr, "kestrove[%s/%s]: %s\n", subsystem, category, visibleText(message).toUtf8().constData());
    }

    std::function<void(const QString &)> observer;
    {
        QMutexLocker lock(&s_mutex);
        observer = s_observer;
    }
    if (observer)
        observer(message);
}

void LogManager::setStandardErrorFallback(bool enabled)
{
    s_standardErrorFallback = enabled;
}

void LogManager::setObserver(std::function<void(const QString &)> observer)
{
    QMutexLocker lock(&s_mutex);
    s_observer = std::move(observer);
}
