#include "model/trackingstatus.h"

namespace TrackingStatuses
{
namespace
{
struct StatusInfo {
    const char16_t *raw;
    const char16_t *displayName;
    const char16_t *icon;
    StatusColor color;
    const char16_t *explanation;
};

// Indexed by the enum value; keep in declaration order.
constexpr std::array<StatusInfo, 8> s_info = {{
    {u"pending", u"Pending", u"clock", StatusColor::secondary, u""},
    {u"inTransit", u"In Transit", u"shippingbox", StatusColor::blue, u""},
    {u"outForDelivery", u"Out for Delivery", u"truck.box", StatusColor::orange, u""},
    {u"delivered", u"Delivered", u"checkmark.circle.fill", StatusColor::green, u""},
    {u"failedAttempt", u"Failed Attempt", u"exclamationmark.triangle", StatusColor::yellow,
     u"Delivery was attempted but unsuccessful"},
    {u"exception", u"Exception", u"exclamationmark.octagon", StatusColor::red, u"There's an issue with this shipment"},
    {u"expired", u"Expired", u"clock.badge.xmark", StatusColor::secondary,
     u"Tracking information is no longer available"},
    {u"unknown", u"Unknown", u"questionmark.circle", StatusColor::secondary, u"Unable to determine current status"},
}};

const StatusInfo &info(TrackingStatus status)
{
    return s_info[static_cast<std::size_t>(status)];
}
}

const std::array<TrackingStatus, 8> &allCases()
{
    static constexpr std::array<TrackingStatus, 8> cases = {
        TrackingStatus::pending,   TrackingStatus::inTransit,     TrackingStatus::outForDelivery,
        TrackingStatus::delivered, TrackingStatus::failedAttempt, TrackingStatus::exception,
        TrackingStatus::expired,   TrackingStatus::unknown,
    };
    return cases;
}

QString rawValue(TrackingStatus status)
{
    return QString::fromUtf16(info(status).raw);
}

std::optional<TrackingStatus> fromRawValue(QStringView raw)
{
    for (TrackingStatus status : allCases()) {
        if (raw == QStringView(info(status).raw))
            return status;
    }
    return std::nullopt;
}

QString displayName(TrackingStatus status)
{
    return QString::fromUtf16(info(status).displayName);
}

QString iconName(TrackingStatus status)
{
    return QString::fromUtf16(info(status).icon);
}

StatusColor color(TrackingStatus status)
{
    return info(status).color;
}

StatusColor progressColor(TrackingStatus status)
{
    if (status == TrackingStatus::pending || status == TrackingStatus::expired)
        return StatusColor::gray;
    return color(status);
}

QString explanation(TrackingStatus status)
{
    return QString::fromUtf16(info(status).explanation);
}

const QList<ProgressStep> &progressSteps()
{
    static const QList<ProgressStep> steps = {
        {TrackingStatus::pending, QStringLiteral("Ordered"), QStringLiteral("bag")},
        {TrackingStatus::inTransit, QStringLiteral("In Transit"), QStringLiteral("shippingbox")},
        {TrackingStatus::outForDelivery, QStringLiteral("Out for Delivery"), QStringLiteral("truck.box")},
        {TrackingStatus::delivered, QStringLiteral("Delivered"), QStringLiteral("checkmark.circle.fill")},
    };
    return steps;
}

int sortRank(TrackingStatus status)
{
    const auto &steps = progressSteps();
    for (qsizetype i = 0; i < steps.size(); ++i) {
        if (steps[i].status == status)
            return int(i);
    }
    return 99;
}

bool isLinear(TrackingStatus status)
{
    return sortRank(status) != 99;
}

bool isInFlight(TrackingStatus status)
{
    return status != TrackingStatus::delivered && status != TrackingStatus::expired;
}
}
