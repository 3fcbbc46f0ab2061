#pragma once

#include "model/RTMessage.h"
#include "networks/facebook/RTFacebookComment.h"

#include <QMap>
#include <QMutex>
#include <QVariantList>

// One post of a Facebook news feed. Its comments grow when a later answer brings new
// ones; they are under a lock because the merge runs on request workers.
class RTMessageFacebook : public RTMessage
{
public:
    using UserLookup = RTFacebookComment::UserLookup;

    explicit RTMessageFacebook(const QString &messageId);

    // From one Graph post record; service is the receiving account and users finds the
    // account's people by id. Null when the record has no id.
    [[nodiscard]] static std::shared_ptr<RTMessageFacebook>
    parseMessage(const JsonValue &record, QObject *service, const UserLookup &users);

    // "2010-05-01T12:34:56+0000" (also "+01:00" and "Z"); invalid when malformed.
    [[nodiscard]] static QDateTime dateFromGraphTime(const QString &text);

    [[nodiscard]] RTUserFacebookPtr sender() const { return m_sender; }
    void setSender(RTUserFacebookPtr sender);
    [[nodiscard]] QVariantList likes() const { return m_likes; }
    void setLikes(const QVariantList &likes) { m_likes = likes; }
    [[nodiscard]] qint64 likesCount() const { return m_likesCount; }
    void setLikesCount(qint64 count) { m_likesCount = count; }
    [[nodiscard]] QString picture() const { return m_picture; }
    [[nodiscard]] QString link() const { return m_link; }
    [[nodiscard]] QString name() const { return m_name; }
    [[nodiscard]] QString icon() const { return m_icon; }
    [[nodiscard]] QString attribution() const { return m_attribution; }
    [[nodiscard]] bool canAddComment() const { return m_canAddComment; }
    [[nodiscard]] bool canRemoveComment() const { return m_canRemoveComment; }
    [[nodiscard]] bool canAddLike() const { return m_canAddLike; }

    // Comment id -> comment.
    [[nodiscard]] QMap<QString, RTFacebookCommentPtr> comments() const;
    // Adds the comments whose ids this post does not have yet; returns how many.
    int addNewComments(const QMap<QString, RTFacebookCommentPtr> &comments);

    [[nodiscard]] QString description() const override;

private:
    RTUserFacebookPtr m_sender;
    QVariantList m_likes;
    qint64 m_likesCount = 0;
    QString m_picture;
    QString m_link;
    QString m_name;
    QString m_icon;
    QString m_attribution;
    bool m_canAddComment = false;
    bool m_canRemoveComment = false;
    bool m_canAddLike = false;

    mutable QMutex m_commentsLock;
    QMap<QString, RTFacebookCommentPtr> m_comments;
};

using RTMessageFacebookPtr = std::shared_ptr<RTMessageFacebook>;
