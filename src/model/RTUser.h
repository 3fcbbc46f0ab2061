#pragma once

#include "foundation/KeyedArchive.h"
#include "model/RTObservable.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <memory>

// An author, recipient or listed person. Archived with its account.
class RTUser : public RTObservable, public RTArchivable, public std::enable_shared_from_this<RTUser>
{
public:
    // The archive's factory; an unarchived user gets its id from the archive.
    RTUser();
    explicit RTUser(const QString &userId);

    [[nodiscard]] QString userId() const { return m_userId; }
    // The account that knows this user (weak).
    [[nodiscard]] QObject *service() const { return m_service.data(); }
    void setService(QObject *service) { m_service = service; }
    [[nodiscard]] QDateTime createdAt() const { return m_createdAt; }
    void setCreatedAt(const QDateTime &date) { m_createdAt = date; }
    [[nodiscard]] QDateTime updatedAt() const { return m_updatedAt; }
    void setUpdatedAt(const QDateTime &date) { m_updatedAt = date; }
    [[nodiscard]] bool isNew() const { return m_isNew; }
    void setIsNew(bool value) { m_isNew = value; }
    [[nodiscard]] bool isHidden() const { return m_isHidden; }
    void setIsHidden(bool value) { m_isHidden = value; }
    [[nodiscard]] qint64 priority() const { return m_priority; }
    void setPriority(qint64 value) { m_priority = value; }

    [[nodiscard]] virtual QString displayName() const { return QString(""); }
    // The address of the person's picture, the key of the store's picture cache; empty
    // when the network gave none.
    [[nodiscard]] virtual QString pictureUrl() const { return {}; }

    [[nodiscard]] QString archiveClassName() const override;
    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

    // The platform's "no date" marker that old stores wrote for a missing update date.
    [[nodiscard]] static QDateTime distantFuture();

private:
    QString m_userId;
    QPointer<QObject> m_service;
    QDateTime m_createdAt;
    QDateTime m_updatedAt;
    bool m_isNew = true;
    bool m_isHidden = false;
    qint64 m_priority = 0;
};

using RTUserPtr = std::shared_ptr<RTUser>;
