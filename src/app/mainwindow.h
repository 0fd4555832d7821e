#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>

class ClipboardBanner;
class KestroveApp;
class MainWindowView;
class QGraphicsOpacityEffect;
class QVariantAnimation;

/**
 * The window "main-window": the menu commands, the clipboard banner over the content,
 * the main window view, and the onboarding sheet on a first run. Deleted when closed;
 * the shell builds a new one the next time it is opened.
 */
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("main-window");
    static constexpr QSize defaultSize {800, 600};
    static constexpr QSize minimumContentSize {700, 500};
    /** Room left around the window for the window manager's title bar and borders. */
    static constexpr QMargins decorationMargins {4, 36, 4, 4};
    /** Duration of the banner's slide and fade. */
    static constexpr int bannerAnimationMs = 250;

    explicit MainWindow(KestroveApp &app, QWidget *parent = nullptr);
    ~MainWindow() override;

    /** Where the window opens: its default size, smaller on a small screen, centred in available. */
    [[nodiscard]] static QRect initialGeometry(const QRect &available);

    [[nodiscard]] MainWindowView *view() const { return m_view; }
    [[nodiscard]] ClipboardBanner *clipboardBanner() const { return m_banner; }
    /** The onboarding sheet while it is shown. */
    [[nodiscard]] QDialog *onboardingSheet() const { return m_onboarding; }

    /** Shows the onboarding sheet over this window, or raises it when it is already shown. */
    void presentOnboarding();

private:
    void buildMenus();
    void updateBanner(bool animated);
    void setBannerProgress(qreal progress);

    KestroveApp &m_app;
    MainWindowView *m_view;
    QWidget *m_bannerSlot;
    ClipboardBanner *m_banner;
    QGraphicsOpacityEffect *m_bannerOpacity;
    QVariantAnimation *m_bannerAnimation;
    qreal m_bannerProgress = 0.0;
    bool m_bannerShown = false;
    QPointer<QDialog> m_onboarding;
};
