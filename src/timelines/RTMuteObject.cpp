#include "timelines/RTMuteObject.h"

std::shared_ptr<RTMuteObject> RTMuteObject::muteObjectWithDictionary(const QVariantMap &record,
                                                                     QString *error)
{
    auto filter = std::make_shared<RTMuteObject>();
    QString why;
    if (!filter->readRecord(record, &why)) {
        if (error)
            *error = why;
        return nullptr;
    }
    return filter;
}

bool RTMuteObject::processMessage(RTMessage &message, const QDateTime &now) const
{
    if (message.isMuted() || isExpired(now) || !messageComplies(message))
        return false;
    message.setIsMuted(true);
    return true;
}
