#pragma once

#include "ui/screenservices.h"

#include <QDateTime>
#include <QPointer>
#include <QScrollArea>
#include <qcoro/qcorotask.h>

#include <chrono>

class CarrierIconView;
class DeliveryProgressView;
class Clock;
class ModelContext;
class Package;
class PackageMapSection;
class PackageSettingsPopover;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;
class QVBoxLayout;
class TrackingService;
class TrackingTimelineView;

/**
 * The main window's detail pane for one package, one scrolling column: the API-key or error
 * banner, the header (icon, colour tag, label edited in place, tracking number, carrier, pin,
 * package settings), the delivery progress and countdown, the actions, the journey map's
 * place, the event timeline, the notes and when it was last updated. The label and the notes
 * are saved as typed, a moment after the last keystroke, and at once when another package is
 * shown or the pane goes away.
 */
class PackageDetailView : public QScrollArea
{
    Q_OBJECT
public:
    /** How long typing must pause before the label or the notes are written to the store. */
    static constexpr std::chrono::milliseconds saveDelay {500};

    /** Works with the services' context, tracking service, preferences, clock and logos (not owned). */
    explicit PackageDetailView(const ScreenServices &services, QWidget *parent = nullptr);
    ~PackageDetailView() override;

    [[nodiscard]] Package *package() const { return m_package; }
    /** Shows a package (nothing with nullptr); unsaved typing of the previous one is saved first. */
    void setPackage(Package *package);

    /** Writes typed label and notes now instead of after the pause. */
    void saveTypingNow();

    /** Asks "Delete Package" about the shown package; Delete emits deleteConfirmed(). */
    void confirmDelete();
    /** The confirmation while it is shown. */
    [[nodiscard]] QMessageBox *deleteConfirmation() const;
    /** Shows the package-settings popup under the gear button. */
    void showPackageSettings();
    [[nodiscard]] PackageSettingsPopover *packageSettings() const;

Q_SIGNALS:
    /** The user confirmed that the package is to be deleted. */
    void deleteConfirmed(Package *package);
    /** "Open Settings" of the API-key warning. */
    void openSettingsRequested();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildBanners(QWidget *parent);
    QWidget *buildHeader(QWidget *parent);
    QWidget *buildCountdown(QWidget *parent);
    QWidget *buildActions(QWidget *parent);
    QWidget *buildNotes(QWidget *parent);
    QWidget *sectionCaption(const QString &symbol, const QString &text, QWidget *parent);
    QPushButton *actionButton(const QString &objectName, const QString &text, const QString &symbol, QWidget *parent);
    void clickOnReturn(QAbstractButton *button);

    void refresh();
    void refreshBanner();
    void refreshFooter();
    void refreshPackageNow();
    void copyTrackingNumber();
    void typed();
    QCoro::Task<> saveAfterPause();
    void save();

    ScreenServices m_services;
    ModelContext *m_context;
    TrackingService *m_tracking;
    Clock *m_clock;

    QPointer<Package> m_package;
    bool m_typingUnsaved = false;
    QDateTime m_lastKeystroke;

    QWidget *m_apiKeyWarning = nullptr;
    QWidget *m_errorBanner = nullptr;
    QLabel *m_errorText = nullptr;
    CarrierIconView *m_icon = nullptr;
    QLabel *m_colorDot = nullptr;
    QLineEdit *m_label = nullptr;
    QLabel *m_number = nullptr;
    QLabel *m_carrier = nullptr;
    QToolButton *m_pin = nullptr;
    QToolButton *m_settingsButton = nullptr;
    DeliveryProgressView *m_progress = nullptr;
    QWidget *m_countdown = nullptr;
    QLabel *m_countdownIcon = nullptr;
    QLabel *m_countdownText = nullptr;
    QLabel *m_countdownDate = nullptr;
    QPushButton *m_trackOnline = nullptr;
    QPushButton *m_archive = nullptr;
    QVBoxLayout *m_mapSlot = nullptr;
    /** The journey map above the timeline, when the services can look places up and draw tiles. */
    QPointer<PackageMapSection> m_mapSection;
    /** Ages "Last updated" while the pane is on screen; stopped while hidden, so a closed window stays idle. */
    QTimer *m_footerTicker = nullptr;
    TrackingTimelineView *m_timeline = nullptr;
    QPlainTextEdit *m_notes = nullptr;
    QLabel *m_footer = nullptr;
    QPointer<QMessageBox> m_confirmation;
    QPointer<PackageSettingsPopover> m_settings;
};
