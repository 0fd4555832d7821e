#pragma once

#include "model/trackingstatus.h"

#include <QWidget>

/**
 * A status as a capsule: the status icon and, in the regular size, its name, in the status
 * colour on the same colour at low opacity. The static paint() draws it into list rows.
 */
class StatusBadgeView : public QWidget
{
    Q_OBJECT
public:
    enum class BadgeSize {
        compact,
        regular,
    };

    explicit StatusBadgeView(TrackingStatus status = TrackingStatus::pending, BadgeSize size = BadgeSize::regular,
                             QWidget *parent = nullptr);

    [[nodiscard]] TrackingStatus status() const { return m_status; }
    void setStatus(TrackingStatus status);
    [[nodiscard]] BadgeSize badgeSize() const { return m_size; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

    /** The badge's size for a status, drawn with fonts derived from base; a regular name is elided to maxWidth. */
    [[nodiscard]] static QSize sizeFor(TrackingStatus status, BadgeSize size, const QFont &base,
                                       int maxWidth = QWIDGETSIZE_MAX);
    /** Draws the badge with its top-left corner at topLeft. */
    static void paint(QPainter &painter, const QPoint &topLeft, TrackingStatus status, BadgeSize size,
                      const QPalette &palette, const QFont &base, qreal devicePixelRatio,
                      int maxWidth = QWIDGETSIZE_MAX);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TrackingStatus m_status;
    BadgeSize m_size;
};
