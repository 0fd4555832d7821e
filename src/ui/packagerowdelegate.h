#pragma once

#include <QStyledItemDelegate>

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
    /** Rows show their countdowns as of clock's time. */
    explicit PackageRowDelegate(Clock *clock, QObject *parent = nullptr);

    /** Width of the batch selection mark's column. */
    static constexpr int batchMarkWidth = 30;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    /** Draws the batch mark: an accent disc with a check when ticked, else a secondary ring. */
    static void paintBatchMark(QPainter &painter, const QRectF &circle, bool ticked, const QPalette &palette);

private:
    Clock *m_clock;
};
