#pragma once

#include "platform/PlatformInterface.h"

#include <QString>
#include <QVariantMap>
#include <functional>

// System-wide notifications between Talvo's two programs, delivered immediately: a
// receiver that is not listening yet misses them.
class SystemNotifications : public PlatformInterface<SystemNotifications>
{
public:
    using Callback = std::function<void(const QString &object, const QVariantMap &userInfo)>;
    virtual void post(const QString &name, const QString &object, const QVariantMap &userInfo) = 0;
    // Returns an id for unsubscribe.
    virtual int subscribe(const QString &name, Callback callback) = 0;
    virtual void unsubscribe(int id) = 0;
};
