#include "ui/notificationsettingstab.h"

#include "base/clock.h"
#include "model/preferences.h"
#include "ui/settingsform.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>

NotificationSettingsTab::NotificationSettingsTab(Preferences *preferences, Clock *clock, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
    , m_clock(clock)
{
    QVBoxLayout *page = nullptr;
    QScrollArea *scroll = SettingsForm::page(QStringLiteral("settings-notifications-page"), page, this);

    QVBoxLayout *global = SettingsForm::section(tr("Global Notifications"), page);
    m_enabled = new QCheckBox(tr("Enable Notifications"));
    m_enabled->setObjectName(QStringLiteral("notificationsEnabledToggle"));
    m_statusChanges = new QCheckBox(tr("Notify on Status Changes"));
    m_statusChanges->setObjectName(QStringLiteral("notifyOnStatusChangeToggle"));
    m_sound = new QCheckBox(tr("Notification Sound"));
    m_sound->setObjectName(QStringLiteral("soundNotificationsToggle"));
    global->addWidget(m_enabled);
    global->addWidget(m_statusChanges);
    global->addWidget(m_sound);
    global->addWidget(
        SettingsForm::caption(tr("Individual packages can override these settings from their detail view."), this));
    connect(m_enabled, &QCheckBox::toggled, m_preferences, &Preferences::setNotificationsEnabled);
    connect(m_statusChanges, &QCheckBox::toggled, m_preferences, &Preferences::setNotifyOnStatusChange);
    connect(m_sound, &QCheckBox::toggled, m_preferences, &Preferences::setSoundNotifications);

    QVBoxLayout *quiet = SettingsForm::section(tr("Quiet Hours"), page);
    m_quietHours = new QCheckBox(tr("Enable Quiet Hours"));
    m_quietHours->setObjectName(QStringLiteral("quietHoursToggle"));
    quiet->addWidget(m_quietHours);
    connect(m_quietHours, &QCheckBox::toggled, m_preferences, &Preferences::setQuietHoursEnabled);

    m_quietHoursDetails = new QWidget;
    auto *details = new QVBoxLayout(m_quietHoursDetails);
    details->setContentsMargins(0, 0, 0, 0);
    auto *times = new QFormLayout;
    m_quietStart = new QTimeEdit;
    m_quietStart->setObjectName(QStringLiteral("quietHoursStartPicker"));
    m_quietEnd = new QTimeEdit;
    m_quietEnd->setObjectName(QStringLiteral("quietHoursEndPicker"));
    for (QTimeEdit *edit : {m_quietStart, m_quietEnd}) {
        edit->setDisplayFormat(QStringLiteral("HH:mm"));
        edit->setWrapping(true);
    }
    connect(m_quietStart, &QTimeEdit::timeChanged, this,
            [this](QTime time) { m_preferences->setQuietHoursStart(secondsIntoToday(time)); });
    connect(m_quietEnd, &QTimeEdit::timeChanged, this,
            [this](QTime time) { m_preferences->setQuietHoursEnd(secondsIntoToday(time)); });
    m_quietStart->setAccessibleName(tr("Quiet hours start"));
    m_quietEnd->setAccessibleName(tr("Quiet hours end"));
    times->addRow(tr("Start"), m_quietStart);
    times->addRow(tr("End"), m_quietEnd);
    details->addLayout(times);
    details->addWidget(SettingsForm::caption(tr("Notifications will be silenced during quiet hours"), this));
    quiet->addWidget(m_quietHoursDetails);

    QVBoxLayout *dnd = SettingsForm::section(tr("Do Not Disturb"), page);
    dnd->addWidget(SettingsForm::caption(
        tr("Kestrove respects your desktop's Do Not Disturb mode. Delivery and exception notifications are marked as "
           "critical, while status updates use the normal urgency."),
        this));

    page->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    load();
    connect(m_preferences, &Preferences::valueChanged, this, &NotificationSettingsTab::load);
}

void NotificationSettingsTab::load()
{
    const QSignalBlocker enabled(m_enabled);
    const QSignalBlocker statusChanges(m_statusChanges);
    const QSignalBlocker sound(m_sound);
    const QSignalBlocker quiet(m_quietHours);
    const QSignalBlocker start(m_quietStart);
    const QSignalBlocker end(m_quietEnd);
    m_enabled->setChecked(m_preferences->notificationsEnabled());
    // Off disables the dependants but leaves their values as they are.
    m_statusChanges->setChecked(m_preferences->notifyOnStatusChange());
    m_statusChanges->setEnabled(m_enabled->isChecked());
    m_sound->setChecked(m_preferences->soundNotifications());
    m_sound->setEnabled(m_enabled->isChecked());
    m_quietHours->setChecked(m_preferences->quietHoursEnabled());
    m_quietHoursDetails->setVisible(m_quietHours->isChecked());

    m_quietStart->setTime(timeToday(m_preferences->quietHoursStart()));
    m_quietEnd->setTime(timeToday(m_preferences->quietHoursEnd()));
}

QTime NotificationSettingsTab::timeToday(double seconds) const
{
    // Clamped: a stored value far out of range must not overflow the date arithmetic.
    const qint64 offset = qint64(std::clamp(seconds, -1e9, 1e9));
    return m_clock->now().toLocalTime().date().startOfDay().addSecs(offset).time();
}

double NotificationSettingsTab::secondsIntoToday(QTime time) const
{
    // Counted from the start of its own day (today): on a day with a clock change the stored
    // value is the distance to the time that was picked, not the time's hours and minutes.
    const QDate today = m_clock->now().toLocalTime().date();
    return double(today.startOfDay().secsTo(QDateTime(today, time)));
}
