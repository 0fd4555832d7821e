#pragma once

#include <QObject>
#include <QTimer>

/**
 * Runs a function once on the next event-loop turn, however often it was asked for in between,
 * so that a burst of store and record changes costs one rebuild of a view.
 */
class CoalescedCall
{
public:
    template<typename Function> CoalescedCall(QObject *context, Function function)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, context, std::move(function));
    }

    /** Asks for the call; a call already pending covers it. */
    void schedule()
    {
        if (!m_timer.isActive())
            m_timer.start();
    }
    /** The work was just done directly: a pending call is no longer needed. */
    void cancel() { m_timer.stop(); }
    [[nodiscard]] bool isPending() const { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
