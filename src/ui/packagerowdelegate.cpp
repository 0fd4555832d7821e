#include "ui/packagerowdelegate.h"

#include "base/clock.h"
#include "model/package.h"
#include "services/carrierlogoservice.h"
#include "ui/packagelistmodel.h"
#include "ui/packagerowview.h"
#include "ui/uistyle.h"

#include <QPainter>
#include <QPainterPath>

PackageRowDelegate::PackageRowDelegate(Clock *clock, CarrierLogoService *logos, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_clock(clock)
    , m_logos(logos)
{ }

void PackageRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    auto *package = index.data(PackageListModel::PackageRole).value<Package *>();
    if (!package)
        return;
    const QPalette &palette = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (const std::optional<QColor> tint = PackageRowView::backgroundColor(*package, palette))
        painter->fillRect(option.rect, *tint);
    const QRectF card = QRectF(option.rect).adjusted(4, 1, -4, -1);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (selected || option.state.testFlag(QStyle::State_MouseOver)) {
        const bool focused = option.state.testFlag(QStyle::State_Active);
        const QColor fill = selected ? UiStyle::withAlpha(UiStyle::accent(palette), focused ? 0.24 : 0.14)
                                     : UiStyle::withAlpha(UiStyle::secondary(palette), 0.08);
        painter->setPen(Qt::NoPen);
        painter->setBrush(fill);
        painter->drawRoundedRect(card, 6, 6);
    }

    QRect content = option.rect;
    if (index.data(PackageListModel::BatchModeRole).toBool()) {
        const bool ticked = index.data(PackageListModel::InBatchSelectionRole).toBool();
        const qreal edge = 16;
        const QRectF circle(content.left() + 12, content.center().y() - edge / 2 + 0.5, edge, edge);
        paintBatchMark(*painter, circle, ticked, palette);
        content.setLeft(content.left() + batchMarkWidth);
    }
    QImage logo;
    if (m_logos) {
        logo = m_logos->logo(package->carrierCode());
        // Started, not awaited: the list redraws when the logo arrives.
        if (logo.isNull() && !m_requestedLogos.contains(package->carrierCode())) {
            m_requestedLogos.insert(package->carrierCode());
            (void)m_logos->fetchLogo(package->carrierCode());
        }
    }
    PackageRowView::paint(*painter, content.adjusted(4, 0, -4, 0), *package, palette, option.font,
                          painter->device()->devicePixelRatioF(), m_clock->now(), logo);
    painter->restore();
}

QSize PackageRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return {200, PackageRowView::rowHeight(option.font)};
}

void PackageRowDelegate::paintBatchMark(QPainter &painter, const QRectF &circle, bool ticked, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (ticked) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(UiStyle::accent(palette));
        painter.drawEllipse(circle);
        QPainterPath check;
        const qreal w = circle.width();
        check.moveTo(circle.left() + w * 0.28, circle.top() + w * 0.52);
        check.lineTo(circle.left() + w * 0.44, circle.top() + w * 0.68);
        check.lineTo(circle.left() + w * 0.73, circle.top() + w * 0.35);
        painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(check);
    } else {
        painter.setPen(QPen(UiStyle::secondary(palette), 1.4));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(circle.adjusted(0.7, 0.7, -0.7, -0.7));
    }
    painter.restore();
}
