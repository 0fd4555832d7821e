#include "showcase.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

using namespace Qt::Literals::StringLiterals;

namespace TestSupport
{
bool fillShowcase(ModelContext &context)
{
    const QDateTime now = QDateTime::currentDateTime();
    const auto add = [&](const QString &number, TrackingStatus status, int minutesAgo, const QString &label,
                         const QString &carrier) {
        auto *p = new Package(number, carrier, label, status);
        p->setLastUpdated(now.toUTC().addSecs(-60 * minutesAgo));
        context.insert(p);
        return p;
    };
    const auto group = [&](const QString &name, const QString &hex, int order) {
        auto *g = new PackageGroup(name, hex, order);
        context.insert(g);
        return g;
    };
    PackageGroup *home = group(u"Home"_s, u"#007AFF"_s, 0);
    PackageGroup *gifts = group(u"Gifts"_s, u"#FF2D55"_s, 1);
    group(u"Travel & holidays"_s, u"#34C759"_s, 2);
    Package *shoes = add(u"1Z999AA10123456784"_s, TrackingStatus::outForDelivery, 5, u"Running shoes"_s, u"ups"_s);
    shoes->setEstimatedDelivery(now);
    shoes->addToGroup(home);
    shoes->appendEvent(std::make_unique<TrackingEvent>(now.toUTC().addSecs(-3600), TrackingStatus::outForDelivery,
                                                       u"Out for delivery"_s, u"Brooklyn, NY"_s));
    Package *lamp = add(u"9400111899223817460012"_s, TrackingStatus::inTransit, 40, u"Desk lamp"_s, u"usps"_s);
    lamp->setEstimatedDelivery(now.addDays(3));
    lamp->setPinned(true);
    add(u"JD014600006281230467"_s, TrackingStatus::delivered, 180, u"Book"_s, u"dhl"_s)->addToGroup(gifts);
    Package *camera = add(u"782910365432"_s, TrackingStatus::failedAttempt, 300, u"Camera lens"_s, u"fedex"_s);
    camera->setEstimatedDelivery(now.addDays(-2));
    camera->setColorTag(u"#FF9500"_s);
    add(u"LX123456789CN"_s, TrackingStatus::exception, 600, QString(), u"china-post"_s);
    Package *phone = add(u"TBA123456789000"_s, TrackingStatus::pending, 2, u"Phone case"_s, u"amazon"_s);
    phone->setEstimatedDelivery(now.addDays(1));
    phone->addToGroup(gifts);
    add(u"RR123456785GB"_s, TrackingStatus::expired, 5000, u"Old parcel"_s, u"royal-mail"_s);
    add(u"UNKNOWN000001"_s, TrackingStatus::unknown, 900, u"Mystery box"_s, u"someco"_s);
    Package *archived = add(u"ARCH00000001"_s, TrackingStatus::delivered, 20000, u"Last year's coat"_s, u"ups"_s);
    archived->setArchived(true);
    archived->addToGroup(home);
    return context.save().ok();
}
}
