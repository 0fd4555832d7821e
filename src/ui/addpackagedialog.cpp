#include "ui/addpackagedialog.h"

#include "base/clock.h"
#include "carriers/carrier.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "tracking/trackingservice.h"
#include "ui/capsulebutton.h"
#include "ui/carriericonview.h"
#include "ui/chipstrip.h"
#include "ui/groupcolorpicker.h"
#include "ui/hexcolor.h"
#include "ui/savereporter.h"
#include "ui/uistyle.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimeZone>
#include <QToolButton>
#include <QVBoxLayout>
#include <qcoro/qcorotask.h>

#include <cmath>

namespace
{
QLabel *sectionCaption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, parent->font(), QFont::DemiBold));
    return label;
}

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    UiStyle::makeSecondary(label);
    return label;
}

/** The part of adding that outlives the sheet: waits for the service, then applies the sheet's choices. */
QCoro::Task<> addAndApply(QPointer<TrackingService> service, QPointer<ModelContext> context, QString number,
                          QString label, std::optional<QString> carrierCode, std::optional<QString> colorTag,
                          std::optional<QDateTime> delivery, QList<QPointer<PackageGroup>> groups,
                          QPointer<AddPackageDialog> sheet)
{
    if (!service || !context)
        co_return;
    const QPointer<Package> package = co_await service->addPackage(number, label, carrierCode, *context);
    if (!package || package->isDeleted() || !context)
        co_return;
    package->setColorTag(colorTag);
    if (delivery)
        package->setEstimatedDelivery(delivery);
    for (const QPointer<PackageGroup> &group : std::as_const(groups)) {
        if (group && !group->isDeleted())
            package->addToGroup(group);
    }
    SaveReporter::save(*context);
    if (sheet)
        Q_EMIT sheet->packageAdded(package);
}
}

AddPackageDialog::AddPackageDialog(ModelContext *context, TrackingService *service, const QDateTime &now,
                                   const QList<PackageGroup *> &availableGroups, const QString &prefill,
                                   QWidget *parent)
    : QDialog(parent)
    , m_context(context)
    , m_service(service)
    , m_estimatedDelivery(now)
{
    setObjectName(QStringLiteral("addPackageSheet"));
    setWindowTitle(tr("Add Package"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(420, 520);
    for (PackageGroup *group : availableGroups)
        m_groups.append(group);

    auto *title = new QLabel(tr("Add Package"), this);
    title->setFont(UiStyle::font(UiStyle::TextStyle::headline, font()));
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoRaise(true);
    close->setIcon(QIcon(
        UiStyle::symbol(QStringLiteral("xmark.circle.fill"), 18, UiStyle::secondary(palette()), devicePixelRatioF())));
    close->setIconSize(QSize(18, 18));
    close->setToolTip(tr("Close"));
    close->setAccessibleName(tr("Close"));
    connect(close, &QToolButton::clicked, this, &QDialog::reject);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(16, 12, 10, 8);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(close);

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(buildForm());
    // Tab goes from field to field (the area scrolls to each); the area itself is no stop.
    scroll->setFocusPolicy(Qt::NoFocus);

    auto *cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_addButton = new QPushButton(tr("Add Package"), this);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_addButton->setDefault(true);
    connect(m_addButton, &QPushButton::clicked, this, &AddPackageDialog::addPackage);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 8, 16, 14);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_addButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    if (!prefill.isEmpty())
        m_number->setText(prefill); // runs the detection through textChanged
    updateDetection();
    updateAddButton();
    m_number->setFocus();
}

AddPackageDialog::~AddPackageDialog() = default;

QWidget *AddPackageDialog::buildForm()
{
    auto *form = new QWidget;
    auto *layout = new QVBoxLayout(form);
    layout->setContentsMargins(16, 4, 16, 8);
    layout->setSpacing(6);

    // Tracking number
    layout->addWidget(sectionCaption(tr("Tracking Number"), form));
    m_number = new QLineEdit(form);
    m_number->setObjectName(QStringLiteral("trackingNumberField"));
    m_number->setPlaceholderText(tr("Tracking Number"));
    m_number->setAccessibleName(tr("Tracking Number"));
    connect(m_number, &QLineEdit::textChanged, this, [this] {
        updateDetection();
        updateAddButton();
    });
    auto *paste = new QToolButton(form);
    paste->setObjectName(QStringLiteral("pasteButton"));
    UiStyle::setSymbol(paste, QStringLiteral("doc.on.clipboard"));
    paste->setToolTip(tr("Paste from clipboard"));
    paste->setAccessibleName(tr("Paste from clipboard"));
    connect(paste, &QToolButton::clicked, this, &AddPackageDialog::pasteFromClipboard);
    auto *numberRow = new QHBoxLayout;
    numberRow->addWidget(m_number, 1);
    numberRow->addWidget(paste);
    layout->addLayout(numberRow);
    layout->addSpacing(6);

    // Label
    layout->addWidget(sectionCaption(tr("Label (Optional)"), form));
    m_label = new QLineEdit(form);
    m_label->setObjectName(QStringLiteral("labelField"));
    m_label->setPlaceholderText(tr("e.g., New iPhone"));
    m_label->setAccessibleName(tr("Label"));
    layout->addWidget(m_label);
    layout->addSpacing(6);

    // Carrier
    layout->addWidget(sectionCaption(tr("Carrier"), form));
    auto *modes = new QButtonGroup(form);
    modes->setExclusive(true);
    auto *modeRow = new QHBoxLayout;
    modeRow->setSpacing(4);
    const QPalette pal = palette();
    const auto segment = [&](const QString &objectName, const QString &text) {
        auto *button = new CapsuleButton(form);
        button->setObjectName(objectName);
        button->setText(text);
        button->setPadding(14, 5);
        button->setColors(UiStyle::accent(pal), UiStyle::onAccent(pal),
                          UiStyle::withAlpha(UiStyle::secondary(pal), 0.12), UiStyle::primary(pal));
        modes->addButton(button);
        modeRow->addWidget(button);
        return button;
    };
    m_autoButton = segment(QStringLiteral("carrierModeAuto"), tr("Auto-Detect"));
    m_manualButton = segment(QStringLiteral("carrierModeManual"), tr("Manual"));
    m_autoButton->setAccessibleDescription(tr("Detection"));
    m_autoButton->setChecked(true);
    modeRow->addStretch();
    connect(m_autoButton, &CapsuleButton::toggled, this, [this](bool on) {
        if (on)
            setCarrierMode(CarrierMode::autoDetect);
    });
    connect(m_manualButton, &CapsuleButton::toggled, this, [this](bool on) {
        if (on)
            setCarrierMode(CarrierMode::manual);
    });
    layout->addLayout(modeRow);

    m_autoDetectInfo = new QWidget(form);
    m_autoDetectInfo->setObjectName(QStringLiteral("autoDetectInfo"));
    m_autoDetectLayout = new QVBoxLayout(m_autoDetectInfo);
    m_autoDetectLayout->setContentsMargins(2, 4, 2, 4);
    m_autoDetectLayout->setSpacing(4);
    layout->addWidget(m_autoDetectInfo);

    m_carrierPicker = new QComboBox(form);
    m_carrierPicker->setObjectName(QStringLiteral("manualCarrierPicker"));
    m_carrierPicker->setAccessibleName(tr("Carrier"));
    m_carrierPicker->addItem(tr("Select a carrier..."), QString());
    m_carrierPicker->insertSeparator(1);
    QList<Carrier::Entry> carriers = Carrier::entries();
    std::stable_sort(carriers.begin(), carriers.end(),
                     [](const Carrier::Entry &a, const Carrier::Entry &b) { return a.displayName < b.displayName; });
    for (const Carrier::Entry &carrier : std::as_const(carriers))
        m_carrierPicker->addItem(carrier.displayName, carrier.code);
    m_carrierPicker->setVisible(false);
    layout->addWidget(m_carrierPicker);
    layout->addSpacing(6);

    // Colour tag
    layout->addWidget(sectionCaption(tr("Color Tag (Optional)"), form));
    auto *colorRow = new QHBoxLayout;
    colorRow->setSpacing(2);
    m_noColor = new QPushButton(tr("No color"), form);
    m_noColor->setObjectName(QStringLiteral("noColorButton"));
    m_noColor->setFlat(true);
    m_noColor->setCheckable(true);
    m_noColor->setAutoDefault(false);
    connect(m_noColor, &QPushButton::clicked, this, [this] { selectColorTag(std::nullopt); });
    colorRow->addWidget(m_noColor);
    // The group colour picker's swatches, marked with a check mark as colour tags are.
    m_colorPicker = new GroupColorPicker(false, form);
    m_colorPicker->setObjectName(QStringLiteral("colorTagPicker"));
    m_colorPicker->setMarker(GroupColorPicker::Marker::checkmark);
    connect(m_colorPicker, &GroupColorPicker::colorChosen, this, [this](const QString &hex) { selectColorTag(hex); });
    colorRow->addWidget(m_colorPicker);
    colorRow->addStretch();
    layout->addLayout(colorRow);
    selectColorTag(std::nullopt);
    layout->addSpacing(6);

    // Estimated delivery
    m_hasDelivery = new QCheckBox(tr("Set estimated delivery date"), form);
    m_hasDelivery->setObjectName(QStringLiteral("estimatedDeliveryToggle"));
    m_deliveryDate = new QDateEdit(m_estimatedDelivery.toLocalTime().date(), form);
    m_deliveryDate->setObjectName(QStringLiteral("deliveryDatePicker"));
    m_deliveryDate->setAccessibleName(tr("Delivery Date"));
    m_deliveryDate->setCalendarPopup(true);
    // The picker's title shows beside it, as the toggle's consequence on a row of its own.
    auto *deliveryPicker = new QWidget(form);
    deliveryPicker->setObjectName(QStringLiteral("deliveryDateRow"));
    auto *deliveryTitle = new QLabel(tr("Delivery Date"), deliveryPicker);
    deliveryTitle->setBuddy(m_deliveryDate);
    auto *pickerRow = new QHBoxLayout(deliveryPicker);
    pickerRow->setContentsMargins(24, 0, 0, 0);
    pickerRow->addWidget(deliveryTitle);
    pickerRow->addStretch();
    pickerRow->addWidget(m_deliveryDate);
    deliveryPicker->setVisible(false);
    connect(m_hasDelivery, &QCheckBox::toggled, deliveryPicker, &QWidget::setVisible);
    connect(m_deliveryDate, &QDateEdit::dateChanged, this, [this](QDate date) {
        // The picker chooses the day; the time of day stays the one the sheet opened with.
        const QDateTime local = m_estimatedDelivery.toLocalTime();
        m_estimatedDelivery = QDateTime(date, local.time(), local.timeZone());
    });
    layout->addWidget(m_hasDelivery);
    layout->addWidget(deliveryPicker);

    // Groups
    if (!m_groups.isEmpty()) {
        layout->addSpacing(6);
        layout->addWidget(sectionCaption(tr("Groups (Optional)"), form));
        auto *strip = new ChipStrip(form);
        const QPalette pal = palette();
        for (const QPointer<PackageGroup> &group : std::as_const(m_groups)) {
            auto *chip = new CapsuleButton(strip);
            chip->setObjectName(QStringLiteral("groupChip-") + group->id().toString(QUuid::WithoutBraces));
            chip->setText(group->name());
            chip->setDotColor(HexColor::colorOr(group->colorHex(), UiStyle::named(StatusColor::gray, pal)));
            chip->setPadding(10, 5);
            chip->setColors(UiStyle::withAlpha(UiStyle::named(StatusColor::blue, pal), 0.15), UiStyle::primary(pal),
                            UiStyle::withAlpha(UiStyle::secondary(pal), 0.08), UiStyle::primary(pal));
            // A chosen group carries a blue check mark after its name.
            chip->setTrailingColor(UiStyle::named(StatusColor::blue, pal));
            const QUuid id = group->id();
            connect(chip, &CapsuleButton::toggled, this, [this, chip, id](bool on) {
                if (on)
                    m_selectedGroupIDs.insert(id);
                else
                    m_selectedGroupIDs.remove(id);
                chip->setTrailingText(on ? QStringLiteral("\u2713") : QString());
            });
            m_groupChips.append(chip);
            strip->addWidget(chip);
        }
        layout->addWidget(strip);
    }
    layout->addStretch();
    return form;
}

QString AddPackageDialog::trackingNumber() const
{
    return m_number->text();
}

bool AddPackageDialog::isValid() const
{
    return !m_number->text().trimmed().isEmpty();
}

QString AddPackageDialog::resolvedCarrierCode() const
{
    if (m_carrierMode == CarrierMode::manual)
        return m_carrierPicker->currentData().toString();
    return m_detectionResults.isEmpty() ? QString() : m_detectionResults.constFirst().carrierCode;
}

void AddPackageDialog::updateDetection()
{
    const QString trimmed = m_number->text().trimmed();
    m_detectionResults = trimmed.size() >= 4 ? CarrierDetector::detect(trimmed) : QList<CarrierDetectionResult>();
    rebuildDetectionPanel();
}

void AddPackageDialog::rebuildDetectionPanel()
{
    while (QLayoutItem *item = m_autoDetectLayout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            widget->deleteLater();
        if (QLayout *inner = item->layout()) {
            while (QLayoutItem *child = inner->takeAt(0)) {
                if (child->widget())
                    child->widget()->deleteLater();
                delete child;
            }
        }
        delete item;
    }
    QWidget *panel = m_autoDetectInfo;
    const QString trimmed = m_number->text().trimmed();
    if (trimmed.isEmpty()) {
        auto *hint = secondaryLabel(tr("Enter a tracking number to auto-detect the carrier"), panel);
        hint->setObjectName(QStringLiteral("detectionMessage"));
        m_autoDetectLayout->addWidget(hint);
        return;
    }
    if (m_detectionResults.isEmpty()) {
        auto *row = new QHBoxLayout;
        auto *icon = new QLabel(panel);
        icon->setPixmap(UiStyle::symbol(QStringLiteral("questionmark.circle"), 16,
                                        UiStyle::named(StatusColor::orange, palette()), devicePixelRatioF()));
        auto *text = new QLabel(tr("Could not detect carrier -- consider selecting manually"), panel);
        text->setObjectName(QStringLiteral("detectionMessage"));
        text->setWordWrap(true);
        row->addWidget(icon);
        row->addWidget(text, 1);
        m_autoDetectLayout->addLayout(row);
        return;
    }
    const auto percent = [](double confidence) { return qint64(std::floor(confidence * 100 + 1e-9)); };
    const CarrierDetectionResult &best = m_detectionResults.constFirst();
    auto *bestRow = new QHBoxLayout;
    bestRow->setSpacing(8);
    bestRow->addWidget(
        new CarrierIconView(best.carrierCode, CarrierIconView::IconSize::small, std::nullopt, nullptr, panel));
    auto *name = new QLabel(best.carrierName, panel);
    name->setObjectName(QStringLiteral("detectedCarrierName"));
    name->setFont(UiStyle::font(UiStyle::TextStyle::body, font(), QFont::Medium));
    bestRow->addWidget(name);
    bestRow->addStretch();
    auto *confidence = secondaryLabel(tr("%1% confidence").arg(percent(best.confidence)), panel);
    confidence->setObjectName(QStringLiteral("detectedConfidence"));
    confidence->setWordWrap(false);
    bestRow->addWidget(confidence);
    m_autoDetectLayout->addLayout(bestRow);
    if (m_detectionResults.size() < 2)
        return;
    auto *others = secondaryLabel(tr("Other possibilities"), panel);
    others->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
    m_autoDetectLayout->addWidget(others);
    for (qsizetype i = 1; i < m_detectionResults.size(); ++i) {
        const CarrierDetectionResult &result = m_detectionResults.at(i);
        auto *row = new QHBoxLayout;
        auto *otherName = new QLabel(result.carrierName, panel);
        otherName->setObjectName(QStringLiteral("otherCarrierName"));
        otherName->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
        row->addWidget(otherName);
        row->addStretch();
        auto *otherPercent = secondaryLabel(tr("%1%").arg(percent(result.confidence)), panel);
        otherPercent->setFont(UiStyle::font(UiStyle::TextStyle::caption, font()));
        otherPercent->setWordWrap(false);
        row->addWidget(otherPercent);
        m_autoDetectLayout->addLayout(row);
    }
}

void AddPackageDialog::setCarrierMode(CarrierMode mode)
{
    m_carrierMode = mode;
    m_autoDetectInfo->setVisible(mode == CarrierMode::autoDetect);
    m_carrierPicker->setVisible(mode == CarrierMode::manual);
}

void AddPackageDialog::selectColorTag(const std::optional<QString> &hex)
{
    m_selectedColorTag = hex;
    m_noColor->setChecked(!hex);
    m_colorPicker->setSelectedHex(hex.value_or(QString()));
}

void AddPackageDialog::pasteFromClipboard()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        m_number->setText(text.trimmed());
}

void AddPackageDialog::updateAddButton()
{
    m_addButton->setEnabled(isValid());
}

void AddPackageDialog::addPackage()
{
    if (!isValid())
        return;
    const QString number = Package::normalizeTrackingNumber(m_number->text());
    const QString carrier = resolvedCarrierCode();
    const std::optional<QString> carrierCode = carrier.isEmpty() ? std::nullopt : std::optional<QString>(carrier);
    const QString label = m_label->text().trimmed();
    const std::optional<QDateTime> delivery
        = m_hasDelivery->isChecked() ? std::optional<QDateTime>(m_estimatedDelivery) : std::nullopt;
    QList<QPointer<PackageGroup>> groups;
    for (const QPointer<PackageGroup> &group : std::as_const(m_groups)) {
        if (group && m_selectedGroupIDs.contains(group->id()))
            groups.append(group);
    }
    // Started, not awaited: the sheet closes at once and the task finishes on its own.
    (void)addAndApply(m_service, m_context, number, label, carrierCode, m_selectedColorTag, delivery, groups, this);
    accept();
}
