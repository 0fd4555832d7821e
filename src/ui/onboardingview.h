#pragma once

#include <QDialog>

class NotificationService;
class PageDots;
class Preferences;
class QLabel;
class QPushButton;
class QStackedWidget;

/**
 * The first-run introduction, shown as a sheet over the main window: four pages (welcome, the
 * tracking API key, permissions, ready) paged with Back and Next. "Get Started" stores
 * "hasCompletedOnboarding" and closes it; closing it any other way leaves the flag unset, so the
 * introduction comes back at the next launch.
 */
class OnboardingView : public QDialog
{
    Q_OBJECT
public:
    static constexpr QSize fixedSize {520, 460};
    static constexpr int totalPages = 4;

    /** "Get Started" writes the flag to preferences; "Enable Notifications" asks notifications. */
    OnboardingView(Preferences *preferences, NotificationService *notifications, QWidget *parent = nullptr);

    [[nodiscard]] int currentPage() const;
    void setCurrentPage(int page);

Q_SIGNALS:
    /** The key page's button: open the settings window on its API Keys tab. */
    void apiKeySettingsRequested();

private:
    QWidget *welcomePage();
    QWidget *apiKeyPage();
    QWidget *permissionsPage();
    QWidget *readyPage();
    void goForward();
    void enableNotifications();

    Preferences *m_preferences;
    NotificationService *m_notifications;
    QStackedWidget *m_pages;
    PageDots *m_dots;
    QPushButton *m_back;
    QPushButton *m_forward;
};
