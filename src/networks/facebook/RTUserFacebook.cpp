#include "networks/facebook/RTUserFacebook.h"

#include "foundation/Localization.h"
#include "model/RTMessageFlags.h"
#include "store/TADataManager.h"

RTUserFacebook::RTUserFacebook(const QString &userId)
    : RTUser(userId)
{
}

std::shared_ptr<RTUserFacebook> RTUserFacebook::parseUser(const JsonValue &record,
                                                          const QString &profilePrefix)
{
    if (!record.isObject())
        return nullptr;
    const QString id = record["id"].toString();
    if (id.isEmpty())
        return nullptr;
    auto user = std::make_shared<RTUserFacebook>(id);
    user->setFirstName(record["first_name"].toString());
    user->setLastName(record["last_name"].toString());
    QString fullName = record["full_name"].toString();
    if (fullName.isEmpty())
        fullName = record["name"].toString();
    user->setFullName(fullName);
    const QString link = record["link"].toString();
    user->setProfileLink(link);
    if (!profilePrefix.isEmpty() && link.startsWith(profilePrefix) &&
        link.size() > profilePrefix.size())
        user->setUserName(link.mid(profilePrefix.size()));
    else
        user->setUserName(localizedString("##RTUserFacebook:0##"));
    user->setAbout(record["about"].toString());
    user->setBirthDate(
        QDate::fromString(record["birthday"].toString(), QStringLiteral("MM/dd/yyyy")));
    user->setEmail(record["email"].toString());
    // Newer answers wrap the address: {"data": {"url": ...}}.
    const JsonValue picture = record["picture"];
    user->setPicUrl(picture.isObject() ? picture["data"]["url"].toString() : picture.toString());
    return user;
}

QString RTUserFacebook::displayName() const
{
    return fullName().isEmpty() ? userName() : fullName();
}

QString RTUserFacebook::picUrl() const
{
    QMutexLocker locker(&m_picUrlLock);
    return m_picUrl;
}

void RTUserFacebook::setPicUrl(const QString &url)
{
    {
        QMutexLocker locker(&m_picUrlLock);
        if (m_picUrl == url)
            return;
    }
    willChangeValueForKey("picUrl");
    willChangeValueForKey(RTMessageProperty::ProfileImage);
    {
        QMutexLocker locker(&m_picUrlLock);
        m_picUrl = url;
    }
    didChangeValueForKey(RTMessageProperty::ProfileImage);
    didChangeValueForKey("picUrl");
}

QByteArray RTUserFacebook::profileImage() const
{
    const QString url = picUrl();
    if (url.isEmpty())
        return {};
    return TADataManager::sharedManager().getImageForUrl(url);
}
