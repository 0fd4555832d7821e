#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class UpdateChecker;

/** The "About" tab: name and version, the update check, the bug report and the web site. */
class AboutSettingsTab : public QWidget
{
    Q_OBJECT
public:
    explicit AboutSettingsTab(UpdateChecker *updates, QWidget *parent = nullptr);

protected:
    /** Each showing runs the weekly update check. */
    void showEvent(QShowEvent *event) override;

private:
    void showUpdateState();

    UpdateChecker *m_updates;
    QWidget *m_updateRow;
    QLabel *m_updateText;
    QPushButton *m_checkButton;
    QProgressBar *m_checkProgress;
};
