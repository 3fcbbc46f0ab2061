#pragma once

#include "model/RTProperty.h"
#include "model/RTUser.h"

#include <QList>

class RTMessage;

// A Twitter user with the account's relation to it and its profile as last reported.
class RTUserTwitter : public RTUser
{
public:
    using UserList = QList<std::shared_ptr<RTUserTwitter>>;
    using MessageList = QList<std::shared_ptr<RTMessage>>;

    RTUserTwitter() = default;
    explicit RTUserTwitter(const QString &userId);

    [[nodiscard]] static std::shared_ptr<RTUserTwitter> create(const QString &userId);

    // Screen name or long name as the user chose; "No Name" when both are blank.
    [[nodiscard]] QString displayName() const override;
    [[nodiscard]] QString largeProfileImageImageUrl() const;
    [[nodiscard]] QString pictureUrl() const override { return profileImageUrl(); }

    [[nodiscard]] QString archiveClassName() const override;
    void encodeWithCoder(KeyedArchiver &coder) const override;
    void decodeWithCoder(const KeyedUnarchiver &coder) override;

    RT_PROPERTY(bool, following, setFollowing)
    RT_PROPERTY(bool, follower, setFollower)
    RT_PROPERTY(bool, protectedProfile, setProtectedProfile)
    RT_PROPERTY(bool, verifiedProfile, setVerifiedProfile)
    RT_PROPERTY(bool, notifications, setNotifications)
    RT_PROPERTY(bool, blocked, setBlocked)
    RT_PROPERTY(QString, screenName, setScreenName)
    RT_PROPERTY(QString, longName, setLongName)
    RT_PROPERTY(QString, location, setLocation)
    RT_PROPERTY(QString, descriptionText, setDescriptionText)
    RT_PROPERTY(QString, profileImageUrl, setProfileImageUrl)
    RT_PROPERTY(QString, utcOffset, setUtcOffset)
    RT_PROPERTY(QString, userTimezone, setUserTimezone)
    RT_PROPERTY(QString, url, setUrl)
    RT_PROPERTY(qint32, followersCount, setFollowersCount)
    RT_PROPERTY(qint32, followingCount, setFollowingCount)
    RT_PROPERTY(qint32, messagesCount, setMessagesCount)
    RT_PROPERTY(qint32, favoriteCount, setFavoriteCount)
    RT_PROPERTY(quint32, listedCount, setListedCount)
    RT_PROPERTY(bool, profileBackgroundTile, setProfileBackgroundTile)
    RT_PROPERTY(QString, profileSidebarBorderColor, setProfileSidebarBorderColor)
    RT_PROPERTY(QString, profileSidebarFillColor, setProfileSidebarFillColor)
    RT_PROPERTY(QString, profileBackgroundColor, setProfileBackgroundColor)
    RT_PROPERTY(QString, profileBackgroundImageUrl, setProfileBackgroundImageUrl)
    RT_PROPERTY(QString, profileTextColor, setProfileTextColor)
    // Loaded on demand for the user information view.
    RT_PROPERTY(UserList, followings, setFollowings)
    RT_PROPERTY(UserList, followers, setFollowers)
    RT_PROPERTY(MessageList, timelineMessagesArray, setTimelineMessagesArray)
    RT_PROPERTY(MessageList, favoriteMessagesArray, setFavoriteMessagesArray)
    RT_PROPERTY(MessageList, mentionsMessagesArray, setMentionsMessagesArray)
    // Newest id already loaded for each of the three arrays above.
    RT_PROPERTY(QString, timelineSince, setTimelineSince)
    RT_PROPERTY(QString, favoritesSince, setFavoritesSince)
    RT_PROPERTY(QString, mentionsSince, setMentionsSince)
    RT_PROPERTY(bool, isPriorityUser, setIsPriorityUser)
    // Only the fields embedded in a message are known, not the full profile.
    RT_PROPERTY(bool, isPartialUser, setIsPartialUser)
};

using RTUserTwitterPtr = std::shared_ptr<RTUserTwitter>;
