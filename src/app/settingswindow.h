#pragma once

#include <QWidget>

class SettingsView;

/** The settings window: a titled top-level window around the settings view. Deleted when closed. */
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("settings-window");
    static constexpr QSize defaultSize {560, 460};

    explicit SettingsWindow(QWidget *parent = nullptr);

    [[nodiscard]] SettingsView *view() const { return m_view; }

private:
    SettingsView *m_view;
};
