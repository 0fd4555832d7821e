#pragma once

#include "model/package.h"
#include "ui/statusbadgeview.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>

class Clock;

/**
 * One package as a list row: pin, colour dot, carrier icon, title with progress dots, carrier
 * line, status badge and delivery countdown (or the time of the last update). The static
 * paint() draws it for the list delegate; the widget draws the same for one package.
 */
class PackageRowView : public QWidget
{
    Q_OBJECT
public:
    /** Draws package as of clock's time. */
    PackageRowView(Package *package, Clock *clock, QWidget *parent = nullptr);

    [[nodiscard]] Package *package() const { return m_package; }
    [[nodiscard]] QSize sizeHint() const override;

    /** The fewest average characters of a title that a row keeps room for beside a badge with its name. */
    static constexpr int minimumTitleCharacters = 10;

    /** The height of a row for a base font. */
    [[nodiscard]] static int rowHeight(const QFont &base);
    /**
     * The colour dot's colour: the colour tag's when the package has one (none when it does not
     * convert), else the first group's, else none.
     */
    [[nodiscard]] static std::optional<QColor> effectiveColor(const Package &package);
    /**
     * The badge size of every row drawn this wide: regular while a badge with its name still leaves
     * the title minimumTitleCharacters, compact (icon only) in a narrower list.
     */
    [[nodiscard]] static StatusBadgeView::BadgeSize badgeSize(int width, const QFont &base);
    /** The room the title gets in a row drawn this wide (it is elided beyond it). */
    [[nodiscard]] static int titleWidth(const Package &package, int width, const QFont &base, const QDateTime &now);
    /** Pinned: orange at 0.04; else out for delivery orange at 0.06, failed attempt yellow at 0.06; else none. */
    [[nodiscard]] static std::optional<QColor> backgroundColor(const Package &package, const QPalette &palette);
    /** The title: the label, or the tracking number when the label is empty. */
    [[nodiscard]] static QString title(const Package &package);

    /** Draws the row's content (not its background) into rect; logo is the carrier's, or a null image. */
    static void paint(QPainter &painter, const QRect &rect, const Package &package, const QPalette &palette,
                      const QFont &base, qreal devicePixelRatio, const QDateTime &now, const QImage &logo = {});

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<Package> m_package;
    Clock *m_clock;
};
