#include "timelines/RTHighlightObject.h"

std::shared_ptr<RTHighlightObject>
RTHighlightObject::highlightObjectWithDictionary(const QVariantMap &record, QString *error)
{
    auto filter = std::make_shared<RTHighlightObject>();
    QString why;
    if (!filter->readRecord(record, &why)) {
        if (error)
            *error = why;
        return nullptr;
    }
    return filter;
}

bool RTHighlightObject::processMessage(RTMessage &message, const QDateTime &now) const
{
    if (message.isHighlighted() || isExpired(now) || !messageComplies(message))
        return false;
    message.setIsHighlighted(true);
    return true;
}
