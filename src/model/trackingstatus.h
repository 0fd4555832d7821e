#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>

/** The one status vocabulary. The raw strings are a stored format: never change them. */
enum class TrackingStatus {
    pending,
    inTransit,
    outForDelivery,
    delivered,
    failedAttempt,
    exception,
    expired,
    unknown,
};

/** The platform's named colours a status is drawn in; screens map them onto the palette. */
enum class StatusColor {
    secondary,
    gray,
    blue,
    orange,
    green,
    yellow,
    red,
};

namespace TrackingStatuses
{
struct ProgressStep {
    TrackingStatus status;
    QString label;
    QString iconName;
};

/** Every case, in declaration order. */
[[nodiscard]] const std::array<TrackingStatus, 8> &allCases();

[[nodiscard]] QString rawValue(TrackingStatus status);
/** Exact, case-sensitive match of a raw string. */
[[nodiscard]] std::optional<TrackingStatus> fromRawValue(QStringView raw);

[[nodiscard]] QString displayName(TrackingStatus status);
/** System symbol name of the status icon. */
[[nodiscard]] QString iconName(TrackingStatus status);
/** Badge colour. */
[[nodiscard]] StatusColor color(TrackingStatus status);
/** Colour in the delivery-progress display, which draws pending and expired in gray. */
[[nodiscard]] StatusColor progressColor(TrackingStatus status);
/** Explanation of an off-track status; empty for the on-track ones. */
[[nodiscard]] QString explanation(TrackingStatus status);

/** The four on-track steps: Ordered, In Transit, Out for Delivery, Delivered. */
[[nodiscard]] const QList<ProgressStep> &progressSteps();
/** Position in progressSteps(), or 99 for the non-linear states. */
[[nodiscard]] int sortRank(TrackingStatus status);
/** True for the four statuses of progressSteps(). */
[[nodiscard]] bool isLinear(TrackingStatus status);
/** True while a package is still on its way: any status but delivered and expired. */
[[nodiscard]] bool isInFlight(TrackingStatus status);
}
