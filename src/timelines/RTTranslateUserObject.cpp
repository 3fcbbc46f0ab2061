#include "timelines/RTTranslateUserObject.h"

std::shared_ptr<RTTranslateUserObject>
RTTranslateUserObject::translateUserObjectWithDictionary(const QVariantMap &record, QString *error)
{
    auto filter = std::make_shared<RTTranslateUserObject>();
    QString why;
    const QVariant active = record.value(QStringLiteral("is_active"));
    if (active.isValid() && active.typeId() != QMetaType::Bool &&
        active.typeId() != QMetaType::Int && active.typeId() != QMetaType::LongLong &&
        active.typeId() != QMetaType::Double)
        why = QStringLiteral("translation with a bad is_active");
    else if (filter->readCommonFields(record, &why))
        filter->setIsActive(!active.isValid() || active.toBool());
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return nullptr;
    }
    return filter;
}
