#include "ui/packagesettingspopover.h"

#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"
#include "model/preferences.h"
#include "tracking/trackingservice.h"
#include "ui/capsulebutton.h"
#include "ui/carriericonview.h"
#include "ui/filepanels.h"
#include "ui/flowlayout.h"
#include "ui/formatinterval.h"
#include "ui/groupcolorpicker.h"
#include "ui/hexcolor.h"
#include "ui/keyboardfocus.h"
#include "ui/refreshintervalchoices.h"
#include "ui/savereporter.h"
#include "ui/uistyle.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
// Pictures beyond this many pixels are refused before they are decoded (a 20,000 by 20,000 PNG
// would take 1.6 GB); no camera or logo comes near it.
constexpr qint64 maximumPixels = 50'000'000;
constexpr qint64 maximumFileSize = 100 * 1024 * 1024;

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(UiStyle::font(UiStyle::TextStyle::caption, parent->font()));
    label->setWordWrap(true);
    UiStyle::makeSecondary(label);
    return label;
}
}

PackageSettingsPopover::PackageSettingsPopover(Package *package, const ScreenServices &services, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_package(package)
    , m_context(services.context)
    , m_tracking(services.tracking)
    , m_preferences(services.preferences)
    , m_clock(services.clock)
{
    setObjectName(QStringLiteral("packageSettingsPopover"));
    setAccessibleName(tr("Package Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);

    // The sections scroll when the screen is too short for all of them.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content = new QWidget(m_scroll);
    m_scroll->setWidget(m_content);
    // Tab goes from control to control (the area scrolls to each); the area itself is no stop.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    auto *title = new QLabel(tr("Package Settings"), this);
    title->setFont(UiStyle::font(UiStyle::TextStyle::headline, font()));

    m_groupsSection = new QWidget(this);
    m_groupChips = new QWidget(m_groupsSection);
    m_groupFlow = new FlowLayout(6, m_groupChips);
    auto *groupsLayout = new QVBoxLayout(m_groupsSection);
    groupsLayout->setContentsMargins(0, 0, 0, 0);
    groupsLayout->addWidget(section(tr("Groups"), m_groupChips));

    auto *layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(14, 12, 14, 14);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(section(tr("Color Tag"), buildColorTags()));
    layout->addWidget(section(tr("Custom Icon"), buildCustomIcon(services.logos)));
    layout->addWidget(m_groupsSection);
    layout->addWidget(section(tr("Check Interval"), buildCheckInterval()));
    layout->addWidget(section(tr("Estimated Delivery"), buildEstimatedDelivery()));
    layout->addWidget(section(tr("Notifications"), buildNotifications()));
    setFixedWidth(320);

    if (m_package)
        connect(m_package, &Package::changed, this, &PackageSettingsPopover::syncFromPackage);
    if (m_context) {
        connect(m_context, &ModelContext::objectsChanged, this, [this](const ModelChanges &changes) {
            if (m_package && m_package->isDeleted()) {
                close();
                return;
            }
            if (!changes.insertedGroups.isEmpty() || !changes.deletedGroups.isEmpty()
                || !changes.updatedGroups.isEmpty())
                rebuildGroups();
        });
    }
    rebuildGroups();
    syncFromPackage();
}

QWidget *PackageSettingsPopover::section(const QString &title, QWidget *content)
{
    auto *box = new QWidget(this);
    auto *heading = new QLabel(title, box);
    heading->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, font(), QFont::DemiBold));
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(heading);
    layout->addWidget(content);
    return box;
}

QWidget *PackageSettingsPopover::buildColorTags()
{
    auto *row = new QWidget(this);
    m_removeColor = new QToolButton(row);
    m_removeColor->setObjectName(QStringLiteral("removeColorTag"));
    UiStyle::setSymbol(m_removeColor, QStringLiteral("xmark"));
    m_removeColor->setAutoRaise(true);
    m_removeColor->setIconSize(QSize(14, 14));
    m_removeColor->setFixedSize(24, 24);
    m_removeColor->setToolTip(tr("Remove color tag"));
    m_removeColor->setAccessibleName(tr("Remove color tag"));
    connect(m_removeColor, &QToolButton::clicked, this, [this] {
        if (!m_package)
            return;
        m_package->setColorTag(std::nullopt);
        save();
    });
    m_colors = new GroupColorPicker(false, row);
    m_colors->setMarker(GroupColorPicker::Marker::checkmark);
    connect(m_colors, &GroupColorPicker::colorChosen, this, [this](const QString &hex) {
        if (!m_package)
            return;
        m_package->setColorTag(hex);
        save();
    });
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_removeColor);
    layout->addWidget(m_colors);
    layout->addStretch();
    return row;
}

QWidget *PackageSettingsPopover::buildCustomIcon(CarrierLogoService *logos)
{
    auto *row = new QWidget(this);
    m_preview = new CarrierIconView(QString(), CarrierIconView::IconSize::medium, std::nullopt, logos, row);
    m_preview->setObjectName(QStringLiteral("customIconPreview"));
    auto *choose = new QPushButton(tr("Choose Image..."), row);
    choose->setObjectName(QStringLiteral("chooseImageButton"));
    connect(choose, &QPushButton::clicked, this, &PackageSettingsPopover::chooseImage);
    m_removeImage = new QPushButton(tr("Remove"), row);
    m_removeImage->setObjectName(QStringLiteral("removeImageButton"));
    m_removeImage->setAccessibleName(tr("Remove custom icon"));
    connect(m_removeImage, &QPushButton::clicked, this, [this] {
        if (!m_package)
            return;
        m_package->setCustomImageData(std::nullopt);
        save();
    });
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_preview);
    layout->addWidget(choose);
    layout->addWidget(m_removeImage);
    layout->addStretch();
    return row;
}

QWidget *PackageSettingsPopover::buildCheckInterval()
{
    auto *box = new QWidget(this);
    m_useCustomInterval = new QCheckBox(tr("Use custom interval"), box);
    m_useCustomInterval->setObjectName(QStringLiteral("useCustomInterval"));
    connect(m_useCustomInterval, &QCheckBox::toggled, this,
            [this](bool on) { setCustomInterval(on ? std::optional<double>(900) : std::nullopt); });
    m_interval = new QComboBox(box);
    m_interval->setObjectName(QStringLiteral("intervalPicker"));
    m_interval->setAccessibleName(tr("Interval"));
    for (const RefreshIntervalChoices::Choice &choice : RefreshIntervalChoices::all())
        m_interval->addItem(choice.label, double(choice.seconds));
    connect(m_interval, &QComboBox::activated, this,
            [this](int index) { setCustomInterval(m_interval->itemData(index).toDouble()); });
    m_defaultInterval = caption(QString(), box);
    m_defaultInterval->setObjectName(QStringLiteral("defaultIntervalCaption"));
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_useCustomInterval);
    layout->addWidget(m_interval);
    layout->addWidget(m_defaultInterval);
    return box;
}

QWidget *PackageSettingsPopover::buildEstimatedDelivery()
{
    auto *box = new QWidget(this);
    m_hasDeliveryDate = new QCheckBox(tr("Set delivery date"), box);
    m_hasDeliveryDate->setObjectName(QStringLiteral("setDeliveryDate"));
    connect(m_hasDeliveryDate, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_package)
            return;
        m_package->setEstimatedDelivery(on ? std::optional<QDateTime>(m_clock->now().addDays(3)) : std::nullopt);
        save();
    });
    m_noDeliveryDate = caption(tr("No delivery date set. Carriers may provide one automatically."), box);
    m_noDeliveryDate->setObjectName(QStringLiteral("noDeliveryDateCaption"));
    m_deliveryDate = new QDateEdit(box);
    m_deliveryDate->setObjectName(QStringLiteral("deliveryDatePicker"));
    m_deliveryDate->setAccessibleName(tr("Delivery Date"));
    m_deliveryDate->setCalendarPopup(true);
    connect(m_deliveryDate, &QDateEdit::dateChanged, this, [this](const QDate &date) {
        if (!m_package || !m_package->estimatedDelivery() || !date.isValid())
            return;
        // Only the day is chosen here; the time of day the carrier gave stays.
        const QDateTime previous = m_package->estimatedDelivery()->toLocalTime();
        m_package->setEstimatedDelivery(QDateTime(date, previous.time()));
        save();
    });
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_hasDeliveryDate);
    layout->addWidget(m_noDeliveryDate);
    layout->addWidget(m_deliveryDate);
    return box;
}

QWidget *PackageSettingsPopover::buildNotifications()
{
    auto *box = new QWidget(this);
    const auto toggle = [this, box](const QString &objectName, const QString &text, void (Package::*set)(bool)) {
        auto *check = new QCheckBox(text, box);
        check->setObjectName(objectName);
        connect(check, &QCheckBox::toggled, this, [this, set](bool on) {
            if (!m_package)
                return;
            (m_package.data()->*set)(on);
            save();
        });
        return check;
    };
    m_notifications
        = toggle(QStringLiteral("enableNotifications"), tr("Enable notifications"), &Package::setNotificationsEnabled);
    m_notificationDetails = new QWidget(box);
    m_notifyStatus
        = toggle(QStringLiteral("notifyStatusChanges"), tr("Status changes"), &Package::setNotifyOnStatusChange);
    m_notifyLocation
        = toggle(QStringLiteral("notifyLocationUpdates"), tr("Location updates"), &Package::setNotifyOnLocationUpdate);
    m_notifyDelivery = toggle(QStringLiteral("notifyDeliveryDateChanges"), tr("Delivery date changes"),
                              &Package::setNotifyOnEstimatedDeliveryChange);
    auto *details = new QVBoxLayout(m_notificationDetails);
    details->setContentsMargins(18, 0, 0, 0);
    details->setSpacing(4);
    for (QCheckBox *check : {m_notifyStatus, m_notifyLocation, m_notifyDelivery})
        details->addWidget(check);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_notifications);
    layout->addWidget(m_notificationDetails);
    return box;
}

void PackageSettingsPopover::rebuildGroups()
{
    while (QLayoutItem *item = m_groupFlow->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    QList<PackageGroup *> groups;
    if (m_context) {
        if (auto fetched = PackageStore::fetchGroupsInOrder(*m_context))
            groups = fetched.value();
    }
    m_groupsSection->setVisible(!groups.isEmpty());
    const QPalette pal = palette();
    for (PackageGroup *group : std::as_const(groups)) {
        auto *chip = new CapsuleButton(m_groupChips);
        chip->setObjectName(QStringLiteral("groupChip-") + group->name());
        chip->setText(group->name());
        const QColor color = HexColor::colorOr(group->colorHex(), UiStyle::named(StatusColor::gray, pal));
        chip->setDotColor(color);
        chip->setTrailingSymbol(QStringLiteral("checkmark"));
        chip->setColors(UiStyle::withAlpha(color, 0.2), UiStyle::primary(pal),
                        UiStyle::withAlpha(UiStyle::secondary(pal), 0.08), UiStyle::primary(pal));
        chip->setProperty("groupId", group->id());
        const QPointer<PackageGroup> target(group);
        connect(chip, &CapsuleButton::clicked, this, [this, target] {
            if (!m_package || !target)
                return;
            m_package->toggleGroup(target);
            save();
        });
        m_groupFlow->addWidget(chip);
    }
    syncFromPackage();
}

void PackageSettingsPopover::syncFromPackage()
{
    if (!m_package)
        return;
    const Package &package = *m_package;
    m_removeColor->setEnabled(package.colorTag().has_value());
    m_colors->setSelectedHex(package.colorTag().value_or(QString()));

    m_preview->setCarrierCode(package.carrierCode());
    m_preview->setCustomImageData(package.hasCustomImage() ? package.customImageData() : std::nullopt);
    m_removeImage->setVisible(package.hasCustomImage());

    for (int i = 0; i < m_groupFlow->count(); ++i) {
        auto *chip = qobject_cast<CapsuleButton *>(m_groupFlow->itemAt(i)->widget());
        if (!chip)
            continue;
        const QUuid id = chip->property("groupId").toUuid();
        const bool member = std::any_of(package.groups().begin(), package.groups().end(),
                                        [&id](const PackageGroup *group) { return group->id() == id; });
        chip->setChecked(member);
        chip->setTrailingSymbol(member ? QStringLiteral("checkmark") : QString());
    }

    const std::optional<double> custom = package.customRefreshInterval();
    const QSignalBlocker blockInterval(m_useCustomInterval);
    m_useCustomInterval->setChecked(custom.has_value());
    m_interval->setVisible(custom.has_value());
    m_defaultInterval->setVisible(!custom.has_value());
    m_defaultInterval->setText(tr("Using default: %1").arg(formatInterval(qint64(m_preferences->refreshInterval()))));
    // A value the command line stored may be none of the choices: it is shown as it is, first.
    const double seconds = custom.value_or(900);
    if (m_interval->count() > RefreshIntervalChoices::all().size())
        m_interval->removeItem(0);
    int index = m_interval->findData(seconds);
    if (index < 0) {
        m_interval->insertItem(0, formatInterval(qint64(seconds)), seconds);
        index = 0;
    }
    m_interval->setCurrentIndex(index);

    const std::optional<QDateTime> estimated = package.estimatedDelivery();
    const QSignalBlocker blockDate(m_hasDeliveryDate);
    const QSignalBlocker blockDatePicker(m_deliveryDate);
    m_hasDeliveryDate->setChecked(estimated.has_value());
    m_noDeliveryDate->setVisible(!estimated);
    m_deliveryDate->setVisible(estimated.has_value());
    if (estimated)
        m_deliveryDate->setDate(estimated->toLocalTime().date());

    for (const auto &[check, value] : {std::pair {m_notifications, package.notificationsEnabled()},
                                       std::pair {m_notifyStatus, package.notifyOnStatusChange()},
                                       std::pair {m_notifyLocation, package.notifyOnLocationUpdate()},
                                       std::pair {m_notifyDelivery, package.notifyOnEstimatedDeliveryChange()}}) {
        const QSignalBlocker block(check);
        check->setChecked(value);
    }
    m_notificationDetails->setVisible(package.notificationsEnabled());
    if (isVisible())
        place();
}

void PackageSettingsPopover::setCustomInterval(std::optional<double> seconds)
{
    if (!m_package)
        return;
    m_package->setCustomRefreshInterval(seconds);
    save();
    // The next poll follows the new interval now, not after the one already planned.
    if (m_context && m_tracking) {
        if (auto packages = m_context->fetchPackages())
            m_tracking->pollingManager()->scheduleNext(packages.value());
    }
}

void PackageSettingsPopover::save()
{
    if (m_context)
        SaveReporter::save(*m_context);
}

void PackageSettingsPopover::chooseImage()
{
    // A popup does not outlive a dialog opened over it: step aside while the file is chosen, come back after.
    const QPointer<PackageSettingsPopover> self(this);
    hide();
    const QString path = FilePanels::openFile(parentWidget(), tr("Choose Image"), tr("Images (*.png *.jpg *.jpeg)"));
    if (!self)
        return;
    if (!path.isEmpty() && m_package) {
        if (const std::optional<QByteArray> png = customImageFromFile(path)) {
            m_package->setCustomImageData(png);
            save();
        }
    }
    if (m_anchor)
        popUp(m_anchor);
}

std::optional<QByteArray> PackageSettingsPopover::customImageFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumFileSize)
        return std::nullopt;
    QByteArray bytes = file.readAll();
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > maximumPixels)
        return std::nullopt;
    // The JPEG decoder fills a cut-off file with gray and calls it a success; a whole one ends
    // with its end-of-image marker (give or take trailing padding).
    if (reader.format() == "jpeg") {
        qsizetype end = bytes.size();
        while (end > 0 && (bytes.at(end - 1) == '\0' || bytes.at(end - 1) == '\n' || bytes.at(end - 1) == '\r'))
            --end;
        if (!QByteArrayView(bytes).first(end).endsWith("\xFF\xD9"))
            return std::nullopt;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return std::nullopt;
    if (image.width() > maximumImageSide || image.height() > maximumImageSide)
        image = image.scaled(maximumImageSide, maximumImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

void PackageSettingsPopover::popUp(QWidget *anchor)
{
    m_anchor = anchor;
    place();
    show();
    // Not on "Remove color tag" by name: it is disabled while the package has no colour.
    KeyboardFocus::focusFirstControl(this);
}

void PackageSettingsPopover::place()
{
    QWidget *anchor = m_anchor;
    if (!anchor)
        return;
    const QRect available = anchor->screen() ? anchor->screen()->availableGeometry() : QRect();
    const int wanted = m_content->sizeHint().height() + 2 * frameWidth();
    resize(width(), available.isValid() ? qMin(wanted, available.height() - 16) : wanted);
    QPoint position = anchor->mapToGlobal(QPoint(anchor->width() - width(), anchor->height() + 4));
    if (available.isValid()) {
        if (position.y() + height() > available.bottom())
            position.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - height() - 4);
        position.setX(qBound(available.left(), position.x(), available.right() - width()));
        position.setY(qMax(available.top(), position.y()));
    }
    move(position);
}
