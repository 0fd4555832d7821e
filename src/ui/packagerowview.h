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

    /** The fewest average characters a title keeps before the badge's name gives way. */
    static constexpr int minimumTitleCharacters = 6;

    /** The height of a row for a base font. */
    [[nodiscard]] static int rowHeight(const QFont &base);
    /**
     * The colour dot's colour: the colour tag's when the package has one (none when it does not
     * convert), else the first group's, else none.
     */
    [[nodiscard]] static std::optional<QColor> effectiveColor(const Package &package);
    /** How a row draws its badge: its size and the width its name is elided to. */
    struct Badge {
        StatusBadgeView::BadgeSize size;
        int maxWidth;
    };
    /**
     * The badge of a row this wide: with its full name while the title keeps minimumTitleCharacters,
     * then with the name elided, and as the icon alone when not even a few letters of it fit.
     */
    [[nodiscard]] static Badge badgeFor(const Package &package, int width, const QFont &base, const QDateTime &now);
    /** The room the title gets in a row drawn this wide (it is elided beyond it). */
    [[nodiscard]] static int titleWidth(const Package &package, int width, const QFont &base, const QDateTime &now);
    /** Pinned: orange at 0.04; else out for delivery orange at 0.06, failed attempt yellow at 0.06; else none. */
    [[nodiscard]] static std::optional<QColor> backgroundColor(const Package &package, const QPalette &palette);
    /** The title: the label, or the tracking number when the label is empty. */
    [[nodiscard]] static QString title(const Package &package);
    /** What a screen reader says for a row: title, carrier, status, and the countdown or update time. */
    [[nodiscard]] static QString accessibleText(const Package &package, const QDateTime &now);

    /** Draws the row's content (not its background) into rect; logo is the carrier's, or a null image. */
    static void paint(QPainter &painter, const QRect &rect, const Package &package, const QPalette &palette,
                      const QFont &base, qreal devicePixelRatio, const QDateTime &now, const QImage &logo = {});

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<Package> m_package;
    Clock *m_clock;
};
