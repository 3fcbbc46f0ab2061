#include "sharing/RTComposeDraft.h"

#include "platform/TAUtility.h"

#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QSaveFile>

RTComposeDraft::RTComposeDraft(QString folder)
    : m_folder(std::move(folder))
{
    if (m_folder.isEmpty())
        m_folder = TAUtility::applicationSupportFolder();
}

QString RTComposeDraft::path() const
{
    return QDir(m_folder).filePath(QStringLiteral("draft.cbor"));
}

bool RTComposeDraft::save(const QString &serviceId, const QVariantMap &state) const
{
    QCborMap map;
    map.insert(QStringLiteral("serviceId"), serviceId);
    map.insert(QStringLiteral("state"), QCborValue::fromVariant(state));
    const QByteArray bytes = map.toCborValue().toCbor();
    if (bytes.size() > kMaxDraftBytes || !QDir().mkpath(m_folder))
        return false;
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

bool RTComposeDraft::load(QString *serviceId, QVariantMap *state) const
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxDraftBytes)
        return false;
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(file.readAll(), &error);
    if (error.error != QCborError::NoError || !value.isMap())
        return false;
    const QCborMap map = value.toMap();
    const QCborValue stateValue = map.value(QStringLiteral("state"));
    if (!stateValue.isMap())
        return false;
    *serviceId = map.value(QStringLiteral("serviceId")).toString();
    *state = stateValue.toMap().toVariantMap();
    return true;
}

void RTComposeDraft::remove() const
{
    QFile::remove(path());
}
