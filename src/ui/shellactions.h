#pragma once

/**
 * What a screen may ask of the application shell: the window-level actions that a
 * view cannot perform itself. The shell implements it; views receive it at construction.
 */
class ShellActions
{
public:
    virtual ~ShellActions() = default;

    /** Opens the main window ("main-window") or raises it, and brings the application forward. */
    virtual void openMainWindow() = 0;
    /** Opens the settings window or raises it, and brings the application forward. */
    virtual void openSettings() = 0;
    /** Ends the application. */
    virtual void quit() = 0;
};
