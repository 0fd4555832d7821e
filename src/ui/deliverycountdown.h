#pragma once

#include "model/trackingstatus.h"

#include <QColor>
#include <QDateTime>
#include <QString>

#include <optional>

class Package;
class QPalette;

/** The delivery countdowns of the list rows and the detail pane, and the relative update time. */
namespace DeliveryCountdown
{
enum class Style {
    soon, // today and tomorrow: caption-2, semibold, green
    later, // two days or more: caption-2, secondary
    late, // overdue: caption-2, semibold, red
};

struct Label {
    QString text;
    Style style = Style::later;
};

/** Whole calendar days from the start of now's day to the start of date's day, in local time; 0 when unknown. */
[[nodiscard]] int daysUntil(const QDateTime &date, const QDateTime &now);

/** "Today", "Tomorrow", "in 3d" or "2d late". */
[[nodiscard]] Label label(const QDateTime &date, const QDateTime &now);

/** A package's countdown: shown while it has an estimated delivery and is on its way (neither delivered nor expired).
 */
[[nodiscard]] std::optional<Label> forPackage(const Package &package, const QDateTime &now);

/** The countdown's colour wherever it is shown: green soon, red late, else secondary. */
[[nodiscard]] QColor color(Style style, const QPalette &palette);
/** The detail pane's countdown: "Arriving Today", "Arriving in 5 days", "3 days overdue", "Delivered". */
struct Banner {
    QString text;
    StatusColor color = StatusColor::blue;
};
/** The banner for a status and the days until the estimated date (daysUntil()). */
[[nodiscard]] Banner banner(TrackingStatus status, int days);

/** How long ago (or until) date is, without direction: "12 sec", "5 min", "2 days". */
[[nodiscard]] QString span(const QDateTime &date, const QDateTime &now);

/** How long ago (or until) date is, in short words: "now", "5 min ago", "3 hr ago", "2 days ago", "in 4 days". */
[[nodiscard]] QString relativeTime(const QDateTime &date, const QDateTime &now);
}
