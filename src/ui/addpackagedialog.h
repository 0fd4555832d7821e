#pragma once

#include "carriers/carrierdetector.h"
#include "model/modelcontext.h"
#include "model/packagegroup.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QUuid>

#include <optional>

class CapsuleButton;
class GroupColorPicker;
class Package;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class TrackingService;

/**
 * The add-package sheet: the tracking number with live carrier detection, a manual carrier
 * choice, label, colour tag, estimated delivery date and groups. "Add Package" hands number,
 * label and carrier to the tracking service, closes at once, and applies the other choices to
 * the package the service returns.
 */
class AddPackageDialog : public QDialog
{
    Q_OBJECT
public:
    enum class CarrierMode {
        autoDetect,
        manual,
    };

    /**
     * Adds through service; the delivery date starts at now. availableGroups in sort order;
     * prefill is the number to show at once (may be empty).
     */
    AddPackageDialog(ModelContext *context, TrackingService *service, const QDateTime &now,
                     const QList<PackageGroup *> &availableGroups, const QString &prefill, QWidget *parent = nullptr);
    ~AddPackageDialog() override;

    [[nodiscard]] QString trackingNumber() const;
    [[nodiscard]] CarrierMode carrierMode() const { return m_carrierMode; }
    [[nodiscard]] const QList<CarrierDetectionResult> &detectionResults() const { return m_detectionResults; }
    /** The trimmed number is not empty. */
    [[nodiscard]] bool isValid() const;
    /** Manual mode: the chosen code (may be empty); auto-detect: the first guess's code, or empty. */
    [[nodiscard]] QString resolvedCarrierCode() const;

    /** Runs the add and closes the sheet; nothing when the number is empty. */
    void addPackage();

Q_SIGNALS:
    /** The tracking service returned the new package and the sheet's choices were applied to it. */
    void packageAdded(Package *package);

private:
    QWidget *buildForm();
    void updateDetection();
    void rebuildDetectionPanel();
    void setCarrierMode(CarrierMode mode);
    void selectColorTag(const std::optional<QString> &hex);
    void pasteFromClipboard();
    void updateAddButton();

    QPointer<ModelContext> m_context;
    QList<QPointer<PackageGroup>> m_groups;
    QPointer<TrackingService> m_service;

    CarrierMode m_carrierMode = CarrierMode::autoDetect;
    QList<CarrierDetectionResult> m_detectionResults;
    QSet<QUuid> m_selectedGroupIDs;
    std::optional<QString> m_selectedColorTag;
    QDateTime m_estimatedDelivery;

    QLineEdit *m_number = nullptr;
    QLineEdit *m_label = nullptr;
    CapsuleButton *m_autoButton = nullptr;
    CapsuleButton *m_manualButton = nullptr;
    QWidget *m_autoDetectInfo = nullptr;
    QVBoxLayout *m_autoDetectLayout = nullptr;
    QComboBox *m_carrierPicker = nullptr;
    GroupColorPicker *m_colorPicker = nullptr;
    QPushButton *m_noColor = nullptr;
    QCheckBox *m_hasDelivery = nullptr;
    QDateEdit *m_deliveryDate = nullptr;
    QList<CapsuleButton *> m_groupChips;
    QPushButton *m_addButton = nullptr;
};
