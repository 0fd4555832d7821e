#pragma once

#include <QWidget>

class QTabWidget;

/** The content of the settings window: the tabs "General", "API Keys", "Notifications" and "About". */
class SettingsView : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsView(QWidget *parent = nullptr);

    [[nodiscard]] QTabWidget *tabs() const { return m_tabs; }

private:
    QTabWidget *m_tabs;
};
