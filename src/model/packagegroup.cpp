#include "model/packagegroup.h"

#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/recordcolumns.h"

PackageGroup::PackageGroup(const QString &name, const QString &colorHex, int sortOrder, QObject *parent)
    : QObject(parent)
    , m_id(QUuid::createUuid())
    , m_name(name)
    , m_colorHex(colorHex)
    , m_sortOrder(sortOrder)
    , m_dateCreated(Clock::shared()->now())
{ }

PackageGroup::PackageGroup(LoadTag, QObject *parent)
    : QObject(parent)
{ }

PackageGroup::~PackageGroup()
{
    for (Package *package : std::as_const(m_packages))
        package->m_groups.removeAll(this);
}

const QList<PackageGroup::PaletteColor> &PackageGroup::colorPalette()
{
    static const QList<PaletteColor> palette = {
        {QStringLiteral("Blue"), QStringLiteral("#007AFF")},   {QStringLiteral("Purple"), QStringLiteral("#AF52DE")},
        {QStringLiteral("Pink"), QStringLiteral("#FF2D55")},   {QStringLiteral("Red"), QStringLiteral("#FF3B30")},
        {QStringLiteral("Orange"), QStringLiteral("#FF9500")}, {QStringLiteral("Yellow"), QStringLiteral("#FFCC00")},
        {QStringLiteral("Green"), QStringLiteral("#34C759")},  {QStringLiteral("Teal"), QStringLiteral("#5AC8FA")},
        {QStringLiteral("Indigo"), QStringLiteral("#5856D6")}, {QStringLiteral("Gray"), QStringLiteral("#8E8E93")},
    };
    return palette;
}

template<auto Member, typename T> void PackageGroup::assign(const T &value)
{
    constexpr int column = StoreColumns::indexOf(Columns::all, Member);
    static_assert(column >= 0, "only stored members go through assign()");
    if (this->*Member == value)
        return;
    this->*Member = value;
    markDirty(column);
    Q_EMIT changed();
}

void PackageGroup::markDirty(int column)
{
    m_dirty |= StoreColumns::bit(column);
    if (m_context)
        m_context->noteChanged(this);
}

void PackageGroup::setName(const QString &value)
{
    assign<&PackageGroup::m_name>(value);
}

void PackageGroup::setColorHex(const QString &value)
{
    assign<&PackageGroup::m_colorHex>(value);
}

void PackageGroup::setSortOrder(int value)
{
    assign<&PackageGroup::m_sortOrder>(value);
}

void PackageGroup::addPackage(Package *package)
{
    if (package)
        package->addToGroup(this);
}

void PackageGroup::removePackage(Package *package)
{
    if (package)
        package->removeFromGroup(this);
}

void PackageGroup::prepareForDeletion()
{
    const QList<Package *> members = m_packages;
    for (Package *package : members) {
        // Match by id, not by object: every group record with this id leaves the member's list.
        const QList<PackageGroup *> groups = package->m_groups;
        bool removed = false;
        for (PackageGroup *group : groups) {
            if (group->m_id == m_id) {
                package->unlinkGroup(group);
                if (group != this)
                    group->m_packages.removeAll(package);
                removed = true;
            }
        }
        if (removed)
            Q_EMIT package->changed();
    }
    m_packages.clear();
    if (!members.isEmpty())
        Q_EMIT changed();
}
