#pragma once

#include "model/RTProperty.h"
#include "model/RTUser.h"
#include "json/JsonValue.h"

#include <QDate>
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
    RT_PROPERTY(QString, picUrl, setPicUrl)
};

using RTUserFacebookPtr = std::shared_ptr<RTUserFacebook>;
