#include "networks/facebook/RTFacebookComment.h"

#include "networks/facebook/RTMessageFacebook.h"

RTFacebookComment::RTFacebookComment(const QString &commentId)
    : m_commentId(commentId)
{
}

RTFacebookCommentPtr
RTFacebookComment::parseComment(const JsonValue &record,
                                const std::shared_ptr<RTMessageFacebook> &message, QObject *service,
                                const UserLookup &users)
{
    if (!record.isObject())
        return nullptr;
    const QString id = record["id"].toString();
    if (id.isEmpty())
        return nullptr;
    auto comment = std::make_shared<RTFacebookComment>(id);
    comment->setMessage(message);
    comment->setService(service);
    comment->setBody(record["message"].toString());
    comment->setCreateAt(RTMessageFacebook::dateFromGraphTime(record["created_time"].toString()));
    if (users)
        comment->setSender(users(record["from"]["id"].toString()));
    return comment;
}
