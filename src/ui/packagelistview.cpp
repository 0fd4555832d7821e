#include "ui/packagelistview.h"

#include "carriers/carrier.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"
#include "services/carrierlogoservice.h"
#include "tracking/trackingservice.h"
#include "ui/emptystateview.h"
#include "ui/hexcolor.h"
#include "ui/packagelistmodel.h"
#include "ui/packagerowdelegate.h"
#include "ui/savereporter.h"
#include "ui/uistyle.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>

namespace
{
struct EmptyContent {
    QString symbol;
    QString title;
    QString text;
};

EmptyContent emptyContent(const PackageListModel &model)
{
    if (model.group())
        return {QStringLiteral("folder"), QCoreApplication::translate("PackageListView", "No Packages in Group"),
                QCoreApplication::translate("PackageListView",
                                            "Assign packages to this group from the package detail view.")};
    switch (model.filter()) {
    case PackageFilter::all:
        if (!model.searchText().isEmpty())
            return {
                QStringLiteral("magnifyingglass"),
                QCoreApplication::translate("PackageListView", "No Results for \u201c%1\u201d").arg(model.searchText()),
                QCoreApplication::translate("PackageListView", "Check the spelling or try a new search.")};
        return {QStringLiteral("shippingbox"), QCoreApplication::translate("PackageListView", "No Packages"),
                QCoreApplication::translate("PackageListView", "Add a package to start tracking.")};
    case PackageFilter::inTransit:
        return {QStringLiteral("shippingbox"), QCoreApplication::translate("PackageListView", "No Packages In Transit"),
                QCoreApplication::translate("PackageListView", "Packages currently in transit will appear here.")};
    case PackageFilter::delivered:
        return {QStringLiteral("checkmark.circle"),
                QCoreApplication::translate("PackageListView", "No Delivered Packages"),
                QCoreApplication::translate("PackageListView", "Delivered packages will appear here.")};
    case PackageFilter::exceptions:
        return {QStringLiteral("exclamationmark.triangle"),
                QCoreApplication::translate("PackageListView", "No Exceptions"),
                QCoreApplication::translate("PackageListView", "Packages with delivery issues will appear here.")};
    case PackageFilter::archived:
        return {QStringLiteral("archivebox"), QCoreApplication::translate("PackageListView", "No Archived Packages"),
                QCoreApplication::translate("PackageListView", "Archived packages will appear here.")};
    }
    return {};
}

// A menu icon: a symbol drawn in a given colour (the colour-tag presets).
QIcon coloredSymbol(const QString &symbol, const QColor &color, qreal dpr)
{
    return QIcon(UiStyle::symbol(symbol, 16, color, dpr));
}

}

PackageListView::PackageListView(const ScreenServices &services, QWidget *parent)
    : QListView(parent)
    , m_tracking(services.tracking)
    , m_model(new PackageListModel(services.context, services.clock, this))
    , m_emptyState(new EmptyStateView(viewport()))
{
    setObjectName(QStringLiteral("packageList"));
    setAccessibleName(tr("Packages"));
    setModel(m_model);
    setItemDelegate(new PackageRowDelegate(services.clock, services.logos, this));
    if (services.logos)
        connect(services.logos, &CarrierLogoService::logoAdded, viewport(), qOverload<>(&QWidget::update));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    // The list sits on the sidebar's own background.
    viewport()->setBackgroundRole(QPalette::Window);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalScrollBar()->setSingleStep(24);
    m_emptyState->setObjectName(QStringLiteral("packageListEmptyState"));
    m_emptyState->setAttribute(Qt::WA_TransparentForMouseEvents);

    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        Package *package = m_model->packageAt(indexAt(pos).row());
        if (!package)
            return;
        QMenu *menu = createContextMenu(package, this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(viewport()->mapToGlobal(pos));
    });
    connect(m_model, &PackageListModel::listUpdated, this, [this] {
        if (m_selected && m_selected->isDeleted())
            setSelectedPackage(nullptr);
        syncSelection();
        updateEmptyState();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &PackageListView::syncSelection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &PackageListView::syncSelection);
    updateEmptyState();
}

ModelContext *PackageListView::modelContext() const
{
    return m_model->modelContext();
}

void PackageListView::setSelectedPackage(Package *package)
{
    if (m_selected == package) {
        syncSelection();
        return;
    }
    m_selected = package;
    syncSelection();
    Q_EMIT selectedPackageChanged(package);
}

bool PackageListView::chooseFirstIfNoneChosen()
{
    if (m_model->rowOf(m_selected) >= 0 || m_model->rowCount() == 0)
        return false;
    setSelectedPackage(m_model->packageAt(0));
    return true;
}

void PackageListView::setBatchMode(bool on)
{
    m_model->setBatchMode(on);
    // In batch mode a click ticks a row; the highlighted row stays the selected package's.
    viewport()->update();
}

bool PackageListView::isBatchMode() const
{
    return m_model->isBatchMode();
}

void PackageListView::syncSelection()
{
    if (!selectionModel())
        return;
    m_syncing = true;
    const QModelIndex index = m_model->indexOf(m_selected);
    if (index.isValid()) {
        if (selectionModel()->currentIndex() != index || !selectionModel()->isSelected(index))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel()->clearSelection();
    }
    m_syncing = false;
}

void PackageListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QListView::currentChanged(current, previous);
    if (m_syncing || !m_userInput || isBatchMode() || !current.isValid())
        return;
    if (Package *package = m_model->packageAt(current.row()); package && package != m_selected) {
        m_selected = package;
        Q_EMIT selectedPackageChanged(package);
    }
}

void PackageListView::mousePressEvent(QMouseEvent *event)
{
    if (isBatchMode() && event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (Package *package = m_model->packageAt(index.row())) {
            m_syncing = true;
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            m_syncing = false;
            m_model->toggleBatchSelection(package);
        }
        event->accept();
        return;
    }
    const QScopedValueRollback user(m_userInput, true);
    QListView::mousePressEvent(event);
}

void PackageListView::mouseMoveEvent(QMouseEvent *event)
{
    const QScopedValueRollback user(m_userInput, true);
    QListView::mouseMoveEvent(event);
}

void PackageListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is two clicks; in batch mode the second one must not tick the row again.
    if (isBatchMode()) {
        mousePressEvent(event);
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void PackageListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        if (isBatchMode())
            Q_EMIT batchDeleteRequested();
        else if (m_selected && m_model->rowOf(m_selected) >= 0)
            Q_EMIT deleteRequested(m_selected);
        event->accept();
        return;
    }
    if (isBatchMode() && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return)) {
        if (Package *package = m_model->packageAt(currentIndex().row()))
            m_model->toggleBatchSelection(package);
        event->accept();
        return;
    }
    // Nothing chosen yet (the keyboard starts here): the first arrow picks the first package, not
    // the one after the row that took the keyboard position when the list got the focus.
    if (!isBatchMode() && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && chooseFirstIfNoneChosen()) {
        event->accept();
        return;
    }
    if (isBatchMode() && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        // Moves the keyboard position without changing the selected package.
        const int row
            = qBound(0, currentIndex().row() + (event->key() == Qt::Key_Up ? -1 : 1), m_model->rowCount() - 1);
        m_syncing = true;
        selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::NoUpdate);
        m_syncing = false;
        scrollTo(m_model->index(row));
        viewport()->update();
        event->accept();
        return;
    }
    {
        const QScopedValueRollback user(m_userInput, true);
        QListView::keyPressEvent(event);
    }
    if (isBatchMode()) {
        // Other moves (Home, End, Page Down) go to the view; the highlight stays on the selected package.
        m_syncing = true;
        const QModelIndex selected = m_model->indexOf(m_selected);
        if (selected.isValid())
            selectionModel()->select(selected, QItemSelectionModel::ClearAndSelect);
        else
            selectionModel()->clearSelection();
        m_syncing = false;
    }
}

void PackageListView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    m_emptyState->setGeometry(viewport()->rect());
}

void PackageListView::updateEmptyState()
{
    const bool empty = m_model->rowCount() == 0;
    if (empty) {
        const EmptyContent content = emptyContent(*m_model);
        m_emptyState->setContent(content.symbol, content.title, content.text);
        m_emptyState->setGeometry(viewport()->rect());
    }
    m_emptyState->setVisible(empty);
}

void PackageListView::save()
{
    if (ModelContext *context = modelContext())
        SaveReporter::save(*context);
}

QMenu *PackageListView::createContextMenu(Package *package, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("packageContextMenu"));
    const QPointer<Package> target(package);
    const qreal dpr = devicePixelRatioF();
    const auto add = [&](QMenu *into, const QString &objectName, const QString &text, const QString &symbol) {
        QAction *action = into->addAction(symbol.isEmpty() ? QIcon() : UiStyle::symbolIcon(symbol, palette()), text);
        action->setObjectName(objectName);
        return action;
    };

    connect(add(menu, QStringLiteral("refreshAction"), tr("Refresh"), QStringLiteral("arrow.clockwise")),
            &QAction::triggered, this, [this, target] {
                ModelContext *context = modelContext();
                if (target && context)
                    (void)m_tracking->refreshPackage(target, *context);
            });
    connect(
        add(menu, QStringLiteral("copyTrackingNumberAction"), tr("Copy Tracking Number"), QStringLiteral("doc.on.doc")),
        &QAction::triggered, this, [target] {
            if (!target)
                return;
            QClipboard *clipboard = QGuiApplication::clipboard();
            clipboard->clear();
            clipboard->setText(target->trackingNumber());
        });
    const QUrl url = Carrier::trackingURL(package->trackingNumber(), package->carrierCode());
    if (url.isValid()) {
        connect(add(menu, QStringLiteral("trackOnlineAction"),
                    tr("Track on %1").arg(UiStyle::actionText(package->carrierDisplayName())),
                    QStringLiteral("safari")),
                &QAction::triggered, this, [url] { QDesktopServices::openUrl(url); });
    }
    menu->addSeparator();

    const bool pinned = package->isPinned();
    connect(add(menu, QStringLiteral("pinAction"), pinned ? tr("Unpin") : tr("Pin to Top"),
                pinned ? QStringLiteral("pin.slash") : QStringLiteral("pin")),
            &QAction::triggered, this, [this, target] {
                if (!target)
                    return;
                target->setPinned(!target->isPinned());
                save();
            });

    QMenu *groups = menu->addMenu(tr("Add to Group"));
    groups->setObjectName(QStringLiteral("addToGroupMenu"));
    if (ModelContext *context = modelContext()) {
        auto fetched = PackageStore::fetchGroupsInOrder(*context);
        if (fetched) {
            for (PackageGroup *group : fetched.value()) {
                const bool member = package->isInGroup(*group);
                QAction *action
                    = add(groups, QStringLiteral("groupToggle-") + group->id().toString(QUuid::WithoutBraces),
                          UiStyle::actionText(group->name()),
                          member ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"));
                const QPointer<PackageGroup> g(group);
                connect(action, &QAction::triggered, this, [this, target, g] {
                    if (target && g)
                        togglePackageInGroup(target, g);
                });
            }
        }
    }
    groups->setEnabled(!groups->isEmpty());

    QMenu *colors = menu->addMenu(tr("Color Tag"));
    colors->setObjectName(QStringLiteral("colorTagMenu"));
    QAction *removeColor
        = add(colors, QStringLiteral("removeColorAction"), tr("Remove Color"), QStringLiteral("xmark.circle"));
    removeColor->setEnabled(package->colorTag().has_value());
    connect(removeColor, &QAction::triggered, this, [this, target] {
        if (!target)
            return;
        target->setColorTag(std::nullopt);
        save();
    });
    colors->addSeparator();
    for (const PackageGroup::PaletteColor &preset : PackageGroup::colorPalette()) {
        const bool chosen = package->colorTag() == preset.hex;
        const QColor color = HexColor::colorOr(preset.hex, UiStyle::named(StatusColor::gray, palette()));
        QAction *action = colors->addAction(
            coloredSymbol(chosen ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle.fill"), color, dpr),
            preset.name);
        action->setObjectName(QStringLiteral("colorTag-") + preset.name);
        const QString hex = preset.hex;
        connect(action, &QAction::triggered, this, [this, target, hex] {
            if (!target)
                return;
            target->setColorTag(hex);
            save();
        });
    }
    menu->addSeparator();

    const bool archived = package->isArchived();
    connect(add(menu, QStringLiteral("archiveAction"), archived ? tr("Unarchive") : tr("Archive"),
                archived ? QStringLiteral("tray.and.arrow.up") : QStringLiteral("archivebox")),
            &QAction::triggered, this, [this, target] {
                if (!target)
                    return;
                target->setArchived(!target->isArchived());
                save();
            });
    menu->addSeparator();
    QAction *remove = add(menu, QStringLiteral("deleteAction"), tr("Delete"), QStringLiteral("trash"));
    connect(remove, &QAction::triggered, this, [this, target] {
        if (target && !target->isDeleted())
            Q_EMIT deleteRequested(target);
    });
    return menu;
}

void PackageListView::togglePackageInGroup(Package *package, PackageGroup *group)
{
    if (!package || !group)
        return;
    package->toggleGroup(group);
    save();
}
