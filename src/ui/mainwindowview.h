#pragma once

#include <QWidget>

class ModelContext;
class ShellActions;

/**
 * The content of the main window: sidebar, package list, detail pane and calendar.
 * The shell hosts exactly one of these below the clipboard banner; until the full view
 * exists it shows the empty state of the detail pane.
 */
class MainWindowView : public QWidget
{
    Q_OBJECT
public:
    /** The view works on the store's main context and reaches the shell through shell. */
    MainWindowView(ModelContext *context, ShellActions *shell, QWidget *parent = nullptr);

    [[nodiscard]] ModelContext *modelContext() const { return m_context; }

private:
    ModelContext *m_context;
    ShellActions *m_shell;
};
