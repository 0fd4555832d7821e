#pragma once

#include "ui/screenservices.h"

#include <QByteArray>
#include <QFrame>
#include <QPointer>

#include <optional>

class CapsuleButton;
class CarrierIconView;
class CarrierLogoService;
class Clock;
class GroupColorPicker;
class ModelContext;
class Package;
class Preferences;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;
class TrackingService;
class FlowLayout;

/**
 * "Package Settings": a popup anchored to the pane's gear button that edits one package's
 * colour tag, picture, groups, check interval, estimated delivery and notifications. Every
 * change is saved at once; a new check interval replans the next poll at once.
 */
class PackageSettingsPopover : public QFrame
{
    Q_OBJECT
public:
    /** The longer side of a stored picture, at most. */
    static constexpr int maximumImageSide = 128;

    /** Edits package with the services' context, tracking service, preferences, clock and logos. */
    PackageSettingsPopover(Package *package, const ScreenServices &services, QWidget *parent = nullptr);

    /** Shows the popup below anchor (above it when there is no room below). */
    void popUp(QWidget *anchor);

    /** Asks for a PNG or JPEG file and makes it the package's picture; a file that is no image changes nothing. */
    void chooseImage();

    /**
     * A picture file as stored: decoded, scaled down so that its longer side is at most 128
     * (smaller ones keep their size), encoded as PNG. Absent when the file cannot be read as an
     * image, including truncated and oversized ones.
     */
    [[nodiscard]] static std::optional<QByteArray> customImageFromFile(const QString &path);

private:
    QWidget *section(const QString &title, QWidget *content);
    QWidget *buildColorTags();
    QWidget *buildCustomIcon(CarrierLogoService *logos);
    QWidget *buildCheckInterval();
    QWidget *buildEstimatedDelivery();
    QWidget *buildNotifications();
    void place();
    void rebuildGroups();
    void syncFromPackage();
    void save();
    void setCustomInterval(std::optional<double> seconds);

    QPointer<Package> m_package;
    QPointer<QWidget> m_anchor;
    QPointer<ModelContext> m_context;
    TrackingService *m_tracking;
    Preferences *m_preferences;
    Clock *m_clock;

    QScrollArea *m_scroll = nullptr;
    QWidget *m_content = nullptr;
    QToolButton *m_removeColor = nullptr;
    GroupColorPicker *m_colors = nullptr;
    CarrierIconView *m_preview = nullptr;
    QPushButton *m_removeImage = nullptr;
    QWidget *m_groupsSection = nullptr;
    QWidget *m_groupChips = nullptr;
    FlowLayout *m_groupFlow = nullptr;
    QCheckBox *m_useCustomInterval = nullptr;
    QComboBox *m_interval = nullptr;
    QLabel *m_defaultInterval = nullptr;
    QCheckBox *m_hasDeliveryDate = nullptr;
    QLabel *m_noDeliveryDate = nullptr;
    QDateEdit *m_deliveryDate = nullptr;
    QCheckBox *m_notifications = nullptr;
    QWidget *m_notificationDetails = nullptr;
    QCheckBox *m_notifyStatus = nullptr;
    QCheckBox *m_notifyLocation = nullptr;
    QCheckBox *m_notifyDelivery = nullptr;
};
