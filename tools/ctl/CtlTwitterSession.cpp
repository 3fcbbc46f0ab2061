#include "CtlTwitterSession.h"

#include "app/TalvoRegistration.h"
#include "foundation/HostProfile.h"
#include "http/HttpRequest.h"
#include "model/RTMessageFlags.h"
#include "platform/linux/SecretServiceKeychain.h"

namespace CtlTwitterSession {

bool setUp(const QString &profileName, QTextStream &err)
{
    QString error;
    const HostProfile profile = HostProfile::named(profileName, &error);
    if (profile.isEmpty()) {
        err << error << "\n";
        return false;
    }
    HostProfile::setCurrent(profile);
    if (!profile.caBundle().isEmpty())
        HttpRequest::setDefaultCaBundle(profile.caBundle());

    static SecretServiceKeychain keychain;
    Keychain::setShared(&keychain);
    registerTalvoLayers();
    return true;
}

QString flagWords(const RTMessage &message)
{
    struct Bit
    {
        quint32 bit;
        const char *word;
    };
    static constexpr Bit kTemporary[] = {
        {RTTemporaryFlag::IsHome, "home"},
        {RTTemporaryFlag::IsMention, "mention"},
        {RTTemporaryFlag::IsReply, "reply"},
        {RTTemporaryFlag::IsPrivate, "private"},
        {RTTemporaryFlag::IsSent, "sent"},
        {RTTemporaryFlag::IsFavorite, "favorite"},
        {RTTemporaryFlag::IsSearch, "search"},
        {RTTemporaryFlag::IsListed, "listed"},
        {RTTemporaryFlag::IsRetweet, "retweet"},
        {RTTemporaryFlag::IsTranslated, "translated"},
        {RTTemporaryFlag::IsHighlighted, "highlighted"},
        {RTTemporaryFlag::IsRepeated, "repeated"},
    };
    static constexpr Bit kPermanent[] = {
        {RTPermanentFlag::IsSeen, "seen"},
        {RTPermanentFlag::IsHidden, "hidden"},
        {RTPermanentFlag::IsDeleted, "deleted"},
        {RTPermanentFlag::IsMuted, "muted"},
    };
    QStringList words;
    for (const Bit &b : kTemporary) {
        if (message.temporaryFlags() & b.bit)
            words << QString::fromLatin1(b.word);
    }
    for (const Bit &b : kPermanent) {
        if (message.permanentFlags() & b.bit)
            words << QString::fromLatin1(b.word);
    }
    return words.join(QLatin1Char(' '));
}

} // namespace CtlTwitterSession
