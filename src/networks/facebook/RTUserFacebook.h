#pragma once

#include "model/RTProperty.h"
#include "model/RTUser.h"
#include "json/JsonValue.h"

#include <QDate>
#include <QMutex>
#include <memory>

// A person known to a Facebook account: the logged-in user and the authors of posts.
class RTUserFacebook : public RTUser
{
public:
    RTUserFacebook() = default;
    explicit RTUserFacebook(const QString &userId);

    // From one Graph user record. profilePrefix is the web host's profile address with its
    // trailing "/" ("http://www.facebook.com/"); a "link" outside it has no user name.
    // Null when the record has no id.
    [[nodiscard]] static std::shared_ptr<RTUserFacebook> parseUser(const JsonValue &record,
                                                                   const QString &profilePrefix);

    [[nodiscard]] QString displayName() const override;

    RT_PROPERTY(QString, firstName, setFirstName)
    RT_PROPERTY(QString, lastName, setLastName)
    RT_PROPERTY(QString, fullName, setFullName)
    RT_PROPERTY(QString, userName, setUserName)
    RT_PROPERTY(QString, profileLink, setProfileLink)
    RT_PROPERTY(QString, about, setAbout)
    RT_PROPERTY(QDate, birthDate, setBirthDate)
    RT_PROPERTY(QString, email, setEmail)

public:
    [[nodiscard]] QString picUrl() const;
    // A new address is a new picture: observers of "picUrl" and "profileImage" hear of it.
    void setPicUrl(const QString &url);
    [[nodiscard]] QString pictureUrl() const override { return picUrl(); }
    // The picture at picUrl from the store's picture cache; empty until it has arrived.
    // The first ask starts its download; ask again on RTNewImageDownloadedNotification.
    // Main thread only.
    [[nodiscard]] QByteArray profileImage() const;

private:
    // Parsing on a request worker sets the address while the window reads it.
    mutable QMutex m_picUrlLock;
    QString m_picUrl;
};

using RTUserFacebookPtr = std::shared_ptr<RTUserFacebook>;
