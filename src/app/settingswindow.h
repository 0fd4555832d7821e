#pragma once

#include "ui/settingsview.h"

#include <QWidget>

class ShellActions;

/**
 * The settings window: a titled top-level window around the settings view. Escape and Ctrl+W
 * close it, Ctrl+Q quits Kestrove. Deleted when closed.
 */
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("settings-window");
    static constexpr QSize defaultSize {560, 520};

    SettingsWindow(const SettingsServices &services, ShellActions &shell, QWidget *parent = nullptr);

    [[nodiscard]] SettingsView *view() const { return m_view; }

private:
    SettingsView *m_view;
};
