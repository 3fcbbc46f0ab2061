#pragma once

#include "networks/facebook/RTUserFacebook.h"

#include <QDateTime>
#include <QPointer>
#include <functional>
#include <memory>

class RTMessageFacebook;

// One comment on a Facebook post.
class RTFacebookComment
{
public:
    using UserLookup = std::function<RTUserFacebookPtr(const QString &userId)>;

    explicit RTFacebookComment(const QString &commentId);

    // From one record of a post's "comments.data"; null when it has no id.
    [[nodiscard]] static std::shared_ptr<RTFacebookComment>
    parseComment(const JsonValue &record, const std::shared_ptr<RTMessageFacebook> &message,
                 QObject *service, const UserLookup &users);

    [[nodiscard]] QString commentId() const { return m_commentId; }
    [[nodiscard]] RTUserFacebookPtr sender() const { return m_sender; }
    void setSender(RTUserFacebookPtr sender) { m_sender = std::move(sender); }
    [[nodiscard]] QString body() const { return m_body; }
    void setBody(const QString &body) { m_body = body; }
    [[nodiscard]] QDateTime createAt() const { return m_createAt; }
    void setCreateAt(const QDateTime &date) { m_createAt = date; }
    [[nodiscard]] QObject *service() const { return m_service.data(); }
    void setService(QObject *service) { m_service = service; }
    [[nodiscard]] std::shared_ptr<RTMessageFacebook> message() const { return m_message.lock(); }
    void setMessage(const std::shared_ptr<RTMessageFacebook> &message) { m_message = message; }

private:
    const QString m_commentId;
    RTUserFacebookPtr m_sender;
    QString m_body;
    QDateTime m_createAt;
    QPointer<QObject> m_service;
    // The post owns its comments.
    std::weak_ptr<RTMessageFacebook> m_message;
};

using RTFacebookCommentPtr = std::shared_ptr<RTFacebookComment>;
