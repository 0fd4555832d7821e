#pragma once

#include <QSet>
#include <QString>
#include <QStyledItemDelegate>

class CarrierLogoService;
class Clock;

/**
 * Paints the package list's rows from the model's roles: selection and row tint, the batch
 * selection mark in batch mode, then the package row. Rows have one fixed height, so that the
 * view can lay out thousands of them without asking each.
 */
class PackageRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    /** Rows show their countdowns as of clock's time, and carrier logos from logos (may be nullptr). */
    PackageRowDelegate(Clock *clock, CarrierLogoService *logos, QObject *parent = nullptr);

    /** Width of the batch selection mark's column. */
    static constexpr int batchMarkWidth = 30;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    /** Draws the batch mark: an accent disc with a check when ticked, else a secondary ring. */
    static void paintBatchMark(QPainter &painter, const QRectF &circle, bool ticked, const QPalette &palette);

private:
    Clock *m_clock;
    CarrierLogoService *m_logos;
    // Carriers whose logo was asked for once while their rows were drawn; a failed fetch is not repeated per paint.
    mutable QSet<QString> m_requestedLogos;
};
