#pragma once

#include <QObject>

#include <chrono>

class KestroveApp;

/** Reacts to the end of launching: starts the services once and brings the first run forward. */
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    /** After launch on a first run: the pause before the application comes forward for the onboarding sheet. */
    static constexpr std::chrono::milliseconds onboardingActivationDelay {500};

    explicit AppDelegate(KestroveApp &app, QObject *parent = nullptr);
    ~AppDelegate() override;

    /** Starts the services in order and plans the onboarding activation; once per process. */
    void applicationDidFinishLaunching();

private:
    KestroveApp &m_app;
    bool m_servicesStarted = false;
};
