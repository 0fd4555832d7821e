#include "model/modelcontainer.h"

#include "base/datadirectory.h"

#include <QCoreApplication>

namespace ModelContainer
{
namespace
{
std::unique_ptr<ModelContext> &sharedSlot()
{
    static std::unique_ptr<ModelContext> context;
    return context;
}
}

QString defaultDirectory()
{
    (void)DataDirectory::ensure(); // opening the store reports a folder that could not be made
    return DataDirectory::path();
}

QString defaultStorePath()
{
    return defaultDirectory() + QStringLiteral("/Kestrove.sqlite");
}

Result<ModelContext *, QString> openShared(int firstPackages)
{
    std::unique_ptr<ModelContext> &slot = sharedSlot();
    if (slot)
        return slot.get();
    auto opened = firstPackages >= 0 ? ModelContext::openProgressively(defaultStorePath(), firstPackages)
                                     : ModelContext::open(defaultStorePath());
    if (!opened)
        return Result<ModelContext *, QString>::failure(opened.error().description);
    slot = std::move(opened).value();
    // Closed with the application: as a static it would outlive Qt SQL's connection list.
    qAddPostRoutine([] { sharedSlot().reset(); });
    return slot.get();
}

ModelContext *sharedContext()
{
    return sharedSlot().get();
}

Result<std::unique_ptr<ModelContext>, QString> open(const QString &path)
{
    auto opened = ModelContext::open(path);
    if (!opened)
        return Result<std::unique_ptr<ModelContext>, QString>::failure(opened.error().description);
    return std::move(opened).value();
}
}
