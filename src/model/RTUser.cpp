#include "model/RTUser.h"

namespace {
const QString kUserIdKey = QStringLiteral("userId");
const QString kCreatedAtKey = QStringLiteral("createdAt");
const QString kUpdatedAtKey = QStringLiteral("updatedAt");
const QString kIsNewKey = QStringLiteral("isNew");
const QString kIsHiddenKey = QStringLiteral("isHidden");

QDateTime decodeDate(const KeyedUnarchiver &coder, const QString &key)
{
    const QVariant value = coder.decodeVariant(key);
    if (!value.isValid())
        return {};
    if (value.metaType().id() != QMetaType::QDateTime) {
        coder.fail(QStringLiteral("'%1' is not a date").arg(key));
        return {};
    }
    return value.toDateTime();
}
} // namespace

RTUser::RTUser() = default;

RTUser::RTUser(const QString &userId)
    : m_userId(userId)
{
}

QDateTime RTUser::distantFuture()
{
    return QDateTime(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC);
}

QString RTUser::archiveClassName() const
{
    return QStringLiteral("RTUser");
}

void RTUser::encodeWithCoder(KeyedArchiver &coder) const
{
    coder.encodeString(kUserIdKey, m_userId);
    coder.encodeVariant(kCreatedAtKey, m_createdAt.isValid() ? QVariant(m_createdAt) : QVariant());
    coder.encodeVariant(kUpdatedAtKey, m_updatedAt.isValid() ? QVariant(m_updatedAt) : QVariant());
    coder.encodeBool(kIsNewKey, m_isNew);
    coder.encodeBool(kIsHiddenKey, m_isHidden);
}

void RTUser::decodeWithCoder(const KeyedUnarchiver &coder)
{
    m_userId = coder.decodeString(kUserIdKey, m_userId);
    m_createdAt = decodeDate(coder, kCreatedAtKey);
    const QDateTime updated = decodeDate(coder, kUpdatedAtKey);
    // Old stores wrote the far future for "never updated".
    m_updatedAt = updated == distantFuture() ? QDateTime() : updated;
    m_isNew = coder.decodeBool(kIsNewKey, m_isNew);
    m_isHidden = coder.decodeBool(kIsHiddenKey, m_isHidden);
}
