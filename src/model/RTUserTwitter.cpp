#include "model/RTUserTwitter.h"

#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/SettingsStore.h"

namespace {
// Which name the user list shows (setting RTTwitterUserDisplayName).
constexpr qint64 kDisplayScreenName = 0;
constexpr qint64 kDisplayLongName = 1;

} // namespace

RTUserTwitter::RTUserTwitter(const QString &userId)
    : RTUser(userId)
{
}

std::shared_ptr<RTUserTwitter> RTUserTwitter::create(const QString &userId)
{
    return std::make_shared<RTUserTwitter>(userId);
}

QString RTUserTwitter::displayName() const
{
    const qint64 choice = SettingsStore::shared().integerForKey(RTTwitterUserDisplayNameKey);
    QString candidate;
    if (choice == kDisplayScreenName)
        candidate = screenName().trimmed();
    else if (choice == kDisplayLongName)
        candidate = longName().trimmed();
    if (!candidate.isEmpty())
        return candidate;
    if (!screenName().isEmpty())
        return screenName();
    return localizedString("##RTUserTwitter:0##");
}

QString RTUserTwitter::largeProfileImageImageUrl() const
{
    return QString(profileImageUrl()).remove(QStringLiteral("_normal"));
}

QString RTUserTwitter::archiveClassName() const
{
    return QStringLiteral("RTUserTwitter");
}

// Counts, colours, arrays and the priority and partial flags are not archived: they are
// fetched again with the profile.
void RTUserTwitter::encodeWithCoder(KeyedArchiver &coder) const
{
    RTUser::encodeWithCoder(coder);
    coder.encodeBool(QStringLiteral("following"), following());
    coder.encodeBool(QStringLiteral("follower"), follower());
    coder.encodeBool(QStringLiteral("protectedProfile"), protectedProfile());
    coder.encodeBool(QStringLiteral("verifiedProfile"), verifiedProfile());
    coder.encodeBool(QStringLiteral("notifications"), notifications());
    coder.encodeBool(QStringLiteral("blocked"), blocked());
    coder.encodeString(QStringLiteral("screenName"), screenName());
    coder.encodeString(QStringLiteral("longName"), longName());
    coder.encodeString(QStringLiteral("location"), location());
    coder.encodeString(QStringLiteral("descriptionText"), descriptionText());
    coder.encodeString(QStringLiteral("profileImageUrl"), profileImageUrl());
    coder.encodeString(QStringLiteral("utcOffset"), utcOffset());
    coder.encodeString(QStringLiteral("userTimezone"), userTimezone());
    coder.encodeString(QStringLiteral("url"), url());
}

void RTUserTwitter::decodeWithCoder(const KeyedUnarchiver &coder)
{
    RTUser::decodeWithCoder(coder);
    setFollowing(coder.decodeBool(QStringLiteral("following"), following()));
    setFollower(coder.decodeBool(QStringLiteral("follower"), follower()));
    setProtectedProfile(coder.decodeBool(QStringLiteral("protectedProfile"), protectedProfile()));
    setVerifiedProfile(coder.decodeBool(QStringLiteral("verifiedProfile"), verifiedProfile()));
    setNotifications(coder.decodeBool(QStringLiteral("notifications"), notifications()));
    setBlocked(coder.decodeBool(QStringLiteral("blocked"), blocked()));
    setScreenName(coder.decodeString(QStringLiteral("screenName"), screenName()));
    setLongName(coder.decodeString(QStringLiteral("longName"), longName()));
    setLocation(coder.decodeString(QStringLiteral("location"), location()));
    setDescriptionText(coder.decodeString(QStringLiteral("descriptionText"), descriptionText()));
    setProfileImageUrl(coder.decodeString(QStringLiteral("profileImageUrl"), profileImageUrl()));
    setUtcOffset(coder.decodeString(QStringLiteral("utcOffset"), utcOffset()));
    setUserTimezone(coder.decodeString(QStringLiteral("userTimezone"), userTimezone()));
    setUrl(coder.decodeString(QStringLiteral("url"), url()));
}
