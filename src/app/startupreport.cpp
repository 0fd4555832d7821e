#include "app/startupreport.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <utility>

namespace
{
void report(const char *what, bool &reported)
{
    static const bool requested = qEnvironmentVariableIsSet("KESTROVE_REPORT_FIRST_FRAME");
    if (!requested || std::exchange(reported, true))
        return;
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%s %lld\n", what, static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
}

class PaintWatcher : public QObject
{
public:
    PaintWatcher(QWidget *window, std::function<void()> then)
        : QObject(window)
        , m_then(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            // The window gets the paint event first; its children paint and the frame is flushed
            // before the event loop turns again.
            watched->removeEventFilter(this);
            QTimer::singleShot(0, watched, std::move(m_then));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_then;
};
}

namespace StartupReport
{
void afterNextFrame(QWidget *window, std::function<void()> then)
{
    new PaintWatcher(window, std::move(then));
}

void firstFrame()
{
    static bool reported = false;
    report("first-frame", reported);
}

void storeLoaded()
{
    static bool reported = false;
    report("store-loaded", reported);
}
}
