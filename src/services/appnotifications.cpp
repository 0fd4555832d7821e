#include "services/appnotifications.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

AppNotifications *AppNotifications::shared()
{
    static AppNotifications *instance = [] {
        auto *center = new AppNotifications;
        if (auto *app = QCoreApplication::instance())
            center->moveToThread(app->thread());
        return center;
    }();
    return instance;
}

void AppNotifications::post(const QString &name, const QVariantMap &userInfo)
{
    if (QThread::currentThread() == thread()) {
        Q_EMIT posted(name, userInfo);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, name, userInfo] { Q_EMIT posted(name, userInfo); }, Qt::QueuedConnection);
}
