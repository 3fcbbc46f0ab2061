#pragma once

#include "model/RTMessage.h"
#include "model/RTProperty.h"

#include <QVariantList>

class RTUserTwitter;
class RTTwitterAccountActions;
using RTUserTwitterPtr = std::shared_ptr<RTUserTwitter>;

// A status or direct message of Twitter. The response mapping fills the fields and the
// request-kind bits of the temporary word.
class RTMessageTwitter : public RTMessage
{
public:
    explicit RTMessageTwitter(const QString &messageId);

    [[nodiscard]] static std::shared_ptr<RTMessageTwitter> create(const QString &messageId);
    [[nodiscard]] std::shared_ptr<RTMessageTwitter> sharedTwitterMessage();

    [[nodiscard]] bool isHome() const { return readTemporaryFlag(RTTemporaryFlag::IsHome); }
    void setIsHome(bool value);
    [[nodiscard]] bool isMention() const { return readTemporaryFlag(RTTemporaryFlag::IsMention); }
    void setIsMention(bool value);
    [[nodiscard]] bool isReply() const { return readTemporaryFlag(RTTemporaryFlag::IsReply); }
    void setIsReply(bool value);
    [[nodiscard]] bool isPrivate() const { return readTemporaryFlag(RTTemporaryFlag::IsPrivate); }
    void setIsPrivate(bool value);
    [[nodiscard]] bool isSent() const { return readTemporaryFlag(RTTemporaryFlag::IsSent); }
    void setIsSent(bool value);
    [[nodiscard]] bool isFavorite() const { return readTemporaryFlag(RTTemporaryFlag::IsFavorite); }
    void setIsFavorite(bool value);
    [[nodiscard]] bool isSearch() const { return readTemporaryFlag(RTTemporaryFlag::IsSearch); }
    void setIsSearch(bool value);
    [[nodiscard]] bool isListed() const { return readTemporaryFlag(RTTemporaryFlag::IsListed); }
    void setIsListed(bool value);
    [[nodiscard]] bool isRetweet() const { return readTemporaryFlag(RTTemporaryFlag::IsRetweet); }
    void setIsRetweet(bool value);

    // sourceName from source: the text of an HTML anchor, or source itself.
    void generateSourceName();

    [[nodiscard]] bool shouldStoreInPermanentReadAndHiddenSet() const override;
    [[nodiscard]] RTMessageDataSource *dataSource() const override;
    void processBody() override;
    [[nodiscard]] QStringList preferredAttributedBodyLookupForRequestType(int type) const override;
    void translate() override;
    [[nodiscard]] QString description() const override;

    // Asks for confirmation unless the user turned that off, then retweets through the
    // message's account.
    void retweet();
    void favorite();
    void unfavorite();
    void follow();
    void unfollow();
    void followUsingService(QObject *account);
    void unfollowUsingService(QObject *account);
    // Without an account of its own: tells the user when there is no Twitter account,
    // uses the only one, or lets the user choose.
    void changeFriendShipToFollow(bool follow);

    RT_PROPERTY(QString, source, setSource)
    RT_PROPERTY(QString, inReplyToMessageId, setInReplyToMessageId)
    RT_PROPERTY(QString, inReplyToUserId, setInReplyToUserId)
    RT_PROPERTY(QString, inReplyToUserName, setInReplyToUserName)
    RT_PROPERTY(QString, sourceName, setSourceName)
    RT_PROPERTY(QString, retweetedStatusId, setRetweetedStatusId)
    RT_PROPERTY(RTUserTwitterPtr, DMRecipient, setDMRecipient)
    RT_PROPERTY(RTUserTwitterPtr, DMSender, setDMSender)
    RT_PROPERTY(RTUserTwitterPtr, retweeter, setRetweeter)
    // Inline picture objects found in the body, filled by processBody.
    RT_PROPERTY(QVariantList, inlineImageObjects, setInlineImageObjects)

private:
    void changeFriendship(QObject *account, bool follow);
    [[nodiscard]] std::shared_ptr<RTUserTwitter> twitterUser() const;
};

using RTMessageTwitterPtr = std::shared_ptr<RTMessageTwitter>;
