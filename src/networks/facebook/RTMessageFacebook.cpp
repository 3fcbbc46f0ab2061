#include "networks/facebook/RTMessageFacebook.h"

#include <QTimeZone>

RTMessageFacebook::RTMessageFacebook(const QString &messageId)
    : RTMessage(messageId)
{
}

void RTMessageFacebook::setSender(RTUserFacebookPtr sender)
{
    m_sender = sender;
    if (sender)
        setUserId(sender->userId());
    setUser(std::move(sender));
}

QDateTime RTMessageFacebook::dateFromGraphTime(const QString &text)
{
    QString s = text.trimmed();
    s.replace(QLatin1Char('T'), QLatin1Char(' '));
    constexpr int kDateTimeLength = 19; // "yyyy-MM-dd HH:mm:ss"
    if (s.size() < kDateTimeLength)
        return {};
    QDateTime local =
        QDateTime::fromString(s.left(kDateTimeLength), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!local.isValid())
        return {};
    QString zone = s.mid(kDateTimeLength);
    int offsetSeconds = 0;
    if (zone == QLatin1String("Z")) {
        offsetSeconds = 0;
    } else {
        zone.remove(QLatin1Char(':'));
        if (zone.size() != 5 || (zone[0] != u'+' && zone[0] != u'-'))
            return {};
        bool okHours = false;
        bool okMinutes = false;
        const int hours = zone.mid(1, 2).toInt(&okHours);
        const int minutes = zone.mid(3, 2).toInt(&okMinutes);
        if (!okHours || !okMinutes || hours > 14 || minutes > 59)
            return {};
        offsetSeconds = (hours * 3600 + minutes * 60) * (zone[0] == u'-' ? -1 : 1);
    }
    QDateTime utc(local.date(), local.time(), Qt::UTC);
    return utc.addSecs(-offsetSeconds);
}

RTMessageFacebookPtr RTMessageFacebook::parseMessage(const JsonValue &record, QObject *service,
                                                     const UserLookup &users)
{
    if (!record.isObject())
        return nullptr;
    const QString id = record["id"].toString();
    if (id.isEmpty())
        return nullptr;
    auto message = std::make_shared<RTMessageFacebook>(id);
    message->setService(service);
    if (users)
        message->setSender(users(record["from"]["id"].toString()));
    message->setBody(record["message"].toString());
    message->setCreatedAt(dateFromGraphTime(record["created_time"].toString()));
    message->m_picture = record["picture"].toString();
    message->m_link = record["link"].toString();
    message->m_name = record["name"].toString();
    message->m_icon = record["icon"].toString();
    message->m_attribution = record["attribution"].toString();
    const JsonValue actions = record["actions"];
    for (qsizetype i = 0; actions.isArray() && i < actions.size(); ++i) {
        const QString action = actions.at(i)["name"].toString();
        if (action == QLatin1String("Comment"))
            message->m_canAddComment = true;
        else if (action == QLatin1String("Like"))
            message->m_canAddLike = true;
    }
    // Older answers give a number, newer ones {"count": n, "data": [...]}.
    const JsonValue likes = record["likes"];
    if (likes.isObject()) {
        message->m_likesCount = likes["count"].toInt64();
        message->m_likes = likes["data"].toVariantList();
    } else {
        message->m_likesCount = likes.isString() ? likes.toString().toLongLong() : likes.toInt64();
    }
    const JsonValue comments = record["comments"]["data"];
    QMap<QString, RTFacebookCommentPtr> parsed;
    for (qsizetype i = 0; comments.isArray() && i < comments.size(); ++i) {
        if (auto comment = RTFacebookComment::parseComment(comments.at(i), message, service, users))
            parsed.insert(comment->commentId(), comment);
    }
    message->m_comments = parsed;
    return message;
}

QMap<QString, RTFacebookCommentPtr> RTMessageFacebook::comments() const
{
    QMutexLocker locker(&m_commentsLock);
    return m_comments;
}

int RTMessageFacebook::addNewComments(const QMap<QString, RTFacebookCommentPtr> &comments)
{
    QMutexLocker locker(&m_commentsLock);
    int added = 0;
    for (auto it = comments.cbegin(); it != comments.cend(); ++it) {
        if (!it.value() || m_comments.contains(it.key()))
            continue;
        // The comment came with another copy of this post; it belongs to this one now.
        it.value()->setMessage(
            std::static_pointer_cast<RTMessageFacebook>(weak_from_this().lock()));
        m_comments.insert(it.key(), it.value());
        ++added;
    }
    return added;
}

QString RTMessageFacebook::description() const
{
    return QStringLiteral("<RTMessageFacebook> %1 by %2: %3")
        .arg(messageId(), m_sender ? m_sender->userId() : QStringLiteral("?"), body());
}
