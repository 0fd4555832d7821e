#pragma once

#include <QTime>
#include <QWidget>

class Clock;
class Preferences;
class QCheckBox;
class QTimeEdit;

/**
 * The "Notifications" tab: the master switch with its two dependants, and quiet hours. Quiet
 * hours are stored as seconds after local midnight and shown as times of today.
 */
class NotificationSettingsTab : public QWidget
{
    Q_OBJECT
public:
    NotificationSettingsTab(Preferences *preferences, Clock *clock, QWidget *parent = nullptr);

private:
    void load();
    /** The time of day a stored quiet-hours value stands for: the start of today plus its seconds. */
    [[nodiscard]] QTime timeToday(double seconds) const;
    [[nodiscard]] double secondsIntoToday(QTime time) const;

    Preferences *m_preferences;
    Clock *m_clock;
    QCheckBox *m_enabled;
    QCheckBox *m_statusChanges;
    QCheckBox *m_sound;
    QCheckBox *m_quietHours;
    QWidget *m_quietHoursDetails;
    QTimeEdit *m_quietStart;
    QTimeEdit *m_quietEnd;
};
