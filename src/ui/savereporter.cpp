#include "ui/savereporter.h"

#include "model/modelcontext.h"
#include "model/packagestore.h"

SaveReporter::SaveReporter(ModelContext &context)
    : QObject(&context)
{ }

SaveReporter *SaveReporter::of(ModelContext &context)
{
    if (auto *reporter = context.findChild<SaveReporter *>(QString(), Qt::FindDirectChildrenOnly))
        return reporter;
    return new SaveReporter(context);
}

template<typename R> bool SaveReporter::report(const R &result)
{
    if (result) {
        Q_EMIT saved();
        return true;
    }
    // The store's text names the cause (a full disk, a read-only file, a lock held too long).
    Q_EMIT saveFailed(result.error().underlying.description);
    return false;
}

bool SaveReporter::save(ModelContext &context)
{
    return of(context)->report(PackageStore::save(context));
}

bool SaveReporter::deletePackages(const QList<Package *> &packages, ModelContext &context)
{
    return of(context)->report(PackageStore::deletePackages(packages, context));
}
