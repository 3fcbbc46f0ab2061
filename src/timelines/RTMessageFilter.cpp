#include "timelines/RTMessageFilter.h"

#include <cmath>
#include <limits>

QString RTMessageFilter::description() const
{
    return QStringLiteral("%1 <%2>\n").arg(className()).arg(quintptr(this), 0, 16) +
           fieldsDescription();
}

QString RTMessageFilter::fieldsDescription() const
{
    return QStringLiteral("filterId: %1 \nfactor: %2 \nnetwork: %3 \n")
        .arg(m_filterId, m_factor, m_network);
}

QString RTMessageFilter::idString(const QVariant &value)
{
    quint64 id = 0;
    if (!readUnsigned(value, std::numeric_limits<qint64>::max(), &id))
        return {};
    return QString::number(id);
}

bool RTMessageFilter::readUnsigned(const QVariant &value, quint64 max, quint64 *out)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (value.typeId() == QMetaType::ULongLong) {
            const qulonglong u = value.toULongLong();
            if (u > max)
                return false;
            *out = u;
            return true;
        }
        if (!ok || n < 0 || quint64(n) > max)
            return false;
        *out = quint64(n);
        return true;
    }
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d < 0 || d != std::floor(d) || d > double(max))
            return false;
        *out = quint64(d);
        return true;
    }
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.isEmpty() || text.size() > 20)
            return false;
        for (const QChar c : text)
            if (c < u'0' || c > u'9')
                return false;
        bool ok = false;
        const qulonglong u = text.toULongLong(&ok);
        if (!ok || u > max)
            return false;
        *out = u;
        return true;
    }
    default:
        return false;
    }
}

bool RTMessageFilter::readCommonFields(const QVariantMap &record, QString *error)
{
    const QString id = idString(record.value(QStringLiteral("id")));
    if (id.isNull()) {
        *error = QStringLiteral("filter without a numeric id");
        return false;
    }
    const QVariant factor = record.value(QStringLiteral("factor"));
    if (factor.typeId() != QMetaType::QString && !factor.canConvert<qlonglong>()) {
        *error = QStringLiteral("filter %1 without a factor").arg(id);
        return false;
    }
    // A user id may come as a number.
    const QString factorText =
        factor.typeId() == QMetaType::QString ? factor.toString() : idString(factor);
    if (factorText.isEmpty() || factorText.size() > kMaxFactorLength) {
        *error = QStringLiteral("filter %1 with a bad factor").arg(id);
        return false;
    }
    const QVariant network = record.value(QStringLiteral("network"));
    if (network.isValid() && !network.isNull() && network.typeId() != QMetaType::QString) {
        *error = QStringLiteral("filter %1 with a bad network").arg(id);
        return false;
    }
    m_filterId = id;
    m_factor = factorText;
    m_network = network.toString().left(kMaxFactorLength);
    return true;
}
