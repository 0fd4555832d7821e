#pragma once

#include <QWidget>

class ModelContext;
class ShellActions;

/**
 * The content of the panel that drops down from the tray item: header with the add
 * button, the short package list and the footer with open, settings and quit.
 * It closes its panel itself (window()->close()) when it has handed over to the main window.
 */
class MenuBarPopoverView : public QWidget
{
    Q_OBJECT
public:
    MenuBarPopoverView(ModelContext *context, ShellActions *shell, QWidget *parent = nullptr);

    [[nodiscard]] ModelContext *modelContext() const { return m_context; }

private:
    void openMainWindowAndClose();

    ModelContext *m_context;
    ShellActions *m_shell;
};
