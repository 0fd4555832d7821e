#pragma once

#include <QDialog>

class Preferences;

/**
 * The first-run introduction, shown as a sheet over the main window. "Get Started"
 * stores "hasCompletedOnboarding" and closes it; closing it any other way leaves the
 * flag unset, so the introduction comes back at the next launch.
 */
class OnboardingView : public QDialog
{
    Q_OBJECT
public:
    static constexpr QSize fixedSize {520, 460};

    /** "Get Started" writes the flag to preferences. */
    explicit OnboardingView(Preferences *preferences, QWidget *parent = nullptr);

private:
    void getStarted();

    Preferences *m_preferences;
};
