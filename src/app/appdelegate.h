#pragma once

#include <QObject>

#include <chrono>

class KestroveApp;
class QWidget;

/**
 * Whether Kestrove behaves as an ordinary windowed application (regular: its windows
 * are raised and activated) or lives only in the tray (accessory).
 */
enum class ActivationPolicy {
    regular,
    accessory,
};

/**
 * Reacts to the end of launching and to windows becoming active or closing: starts the
 * services once and switches the activation policy while app windows come and go.
 */
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    /** After launch on a first run: the pause before the application comes forward for the onboarding sheet. */
    static constexpr std::chrono::milliseconds onboardingActivationDelay {500};
    /** After an app window closed: the pause before the remaining windows are counted. */
    static constexpr std::chrono::milliseconds windowCloseCheckDelay {100};

    explicit AppDelegate(KestroveApp &app, QObject *parent = nullptr);
    ~AppDelegate() override;

    /** Starts observing the application's windows, then starts the services. */
    void applicationDidFinishLaunching();
    /** Starts the services in order, goes accessory, and plans the onboarding activation; once per process. */
    void startAppServices();

    /** True for a top-level window with a title bar and a non-empty title (not the tray panel). */
    [[nodiscard]] static bool isAppWindow(const QWidget *window);

    [[nodiscard]] ActivationPolicy activationPolicy() const { return m_policy; }
    void setActivationPolicy(ActivationPolicy policy);

Q_SIGNALS:
    void activationPolicyChanged(ActivationPolicy policy);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void windowDidBecomeKey(QWidget *window);
    void windowWillClose(QWidget *window);

    KestroveApp &m_app;
    // A freshly started process is an ordinary application until launching has finished.
    ActivationPolicy m_policy = ActivationPolicy::regular;
    bool m_observing = false;
    bool m_servicesStarted = false;
};
