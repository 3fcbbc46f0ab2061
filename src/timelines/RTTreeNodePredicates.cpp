#include "timelines/RTTreeNodePredicates.h"

#include "accounts/RTService.h"
#include "model/RTMessageFlags.h"
#include "timelines/RTTrendMessage.h"
#include "twitter/RTServiceTwitter.h"

#include <QObject>

namespace {

struct FlagName
{
    const char *name;
    int word;
    quint32 mask;
};

constexpr FlagName kFlags[] = {
    {RTMessageProperty::IsSeen, 0, RTPermanentFlag::IsSeen},
    {RTMessageProperty::IsHidden, 0, RTPermanentFlag::IsHidden},
    {RTMessageProperty::IsSpecialHidden, 0, RTPermanentFlag::IsSpecialHidden},
    {RTMessageProperty::IsDeleted, 0, RTPermanentFlag::IsDeleted},
    {RTMessageProperty::IsMuted, 0, RTPermanentFlag::IsMuted},
    {RTMessageProperty::IsHome, 1, RTTemporaryFlag::IsHome},
    {RTMessageProperty::IsMention, 1, RTTemporaryFlag::IsMention},
    {RTMessageProperty::IsReply, 1, RTTemporaryFlag::IsReply},
    {RTMessageProperty::IsPrivate, 1, RTTemporaryFlag::IsPrivate},
    {RTMessageProperty::IsSent, 1, RTTemporaryFlag::IsSent},
    {RTMessageProperty::IsFavorite, 1, RTTemporaryFlag::IsFavorite},
    {RTMessageProperty::IsSearch, 1, RTTemporaryFlag::IsSearch},
    {RTMessageProperty::IsListed, 1, RTTemporaryFlag::IsListed},
    {RTMessageProperty::IsRetweet, 1, RTTemporaryFlag::IsRetweet},
    {RTMessageProperty::IsTranslated, 1, RTTemporaryFlag::IsTranslated},
    {RTMessageProperty::IsHighlighted, 1, RTTemporaryFlag::IsHighlighted},
    {RTMessageProperty::IsRepeated, 1, RTTemporaryFlag::IsRepeated},
};

const int kServiceKey = Predicate::keyId(QStringLiteral("service"));
const int kCreatedAtKey = Predicate::keyId(QStringLiteral("createdAt"));
const int kMessageIdKey = Predicate::keyId(QStringLiteral("messageId"));
const int kTrendTypeKey = Predicate::keyId(QStringLiteral("trendType"));
const int kUserIdKey = Predicate::keyId(QStringLiteral("userId"));

} // namespace

quint32 RTMessagePredicateSubject::predicateFlagWord(int word) const
{
    return word == 0 ? m_message.permanentFlags() : m_message.temporaryFlags();
}

PredicateValue RTMessagePredicateSubject::predicateValue(int keyId) const
{
    if (keyId == kServiceKey) // identity only: the label is for printing
        return PredicateValue::object(m_message.service(), QString());
    if (keyId == kCreatedAtKey)
        return PredicateValue::date(m_message.createdAt());
    if (keyId == kMessageIdKey) {
        bool ok = false;
        const qint64 id = m_message.messageId().toLongLong(&ok);
        return ok ? PredicateValue::integer(id) : PredicateValue::string(m_message.messageId());
    }
    if (keyId == kUserIdKey)
        return PredicateValue::string(m_message.userId());
    if (keyId == kTrendTypeKey && dynamic_cast<const RTTrendMessage *>(&m_message))
        return PredicateValue::integer(RTTrendObject::trendType());
    return {};
}

bool evaluatePredicate(const Predicate &predicate, const RTMessage &message)
{
    return predicate.evaluate(RTMessagePredicateSubject(message));
}

namespace RTPredicates {

Predicate flag(const char *name, bool value)
{
    for (const FlagName &f : kFlags) {
        if (qstrcmp(f.name, name) == 0)
            return Predicate::flag(QLatin1String(name), f.word, f.mask, value);
    }
    Q_ASSERT_X(false, "RTPredicates::flag", name);
    return Predicate::falsePredicate();
}

PredicateValue serviceValue(const QObject *service)
{
    if (!service)
        return {};
    // Printed by the account's id, the same in every run, so identities that embed a
    // predicate's text stay stable.
    const auto *account = qobject_cast<const RTService *>(service);
    const QString id = account ? account->serviceId() : QString();
    return PredicateValue::object(service, id.isEmpty() ? service->objectName() : id);
}

Predicate serviceIs(const QObject *service)
{
    return Predicate::compare(QStringLiteral("service"), Predicate::Op::Equal,
                              serviceValue(service));
}

Predicate createdAtSince(const QDateTime &date)
{
    return Predicate::compare(QStringLiteral("createdAt"), Predicate::Op::GreaterOrEqual,
                              PredicateValue::date(date));
}

Predicate mentions(const QObject *account)
{
    return Predicate::andPredicate(
        {serviceIs(account), flag("isMention", true), flag("isMuted", false)});
}

Predicate retweets(const QObject *account)
{
    return Predicate::andPredicate({serviceIs(account), flag("isRetweet", true),
                                    flag("isSent", false), flag("isMuted", false)});
}

Predicate favorites(const QObject *account)
{
    return Predicate::andPredicate(
        {serviceIs(account), flag("isFavorite", true), flag("isMuted", false)});
}

Predicate direct(const QObject *account)
{
    return serviceIs(account) && flag("isPrivate", true);
}

Predicate inbox(const QObject *account)
{
    return Predicate::andPredicate(
        {serviceIs(account), flag("isPrivate", true), flag("isSent", false)});
}

Predicate outbox(const QObject *account)
{
    return Predicate::andPredicate(
        {serviceIs(account), flag("isPrivate", true), flag("isSent", true)});
}

QDateTime referenceDate(const RTServiceTwitter *account, bool homeReference)
{
    if (!account)
        return {};
    const QString id =
        homeReference ? account->homeReferenceMessageId() : account->sentReferenceMessageId();
    if (id.isEmpty())
        return {};
    const auto message = account->messageWithId(id);
    return message ? message->createdAt() : QDateTime();
}

Predicate combined(const RTServiceTwitter *account)
{
    const QDateTime d = referenceDate(account, true);
    if (!d.isValid())
        return Predicate::falsePredicate();
    return Predicate::andPredicate({serviceIs(account), createdAtSince(d), flag("isMuted", false)});
}

Predicate home(const RTServiceTwitter *account)
{
    const QDateTime d = referenceDate(account, true);
    if (!d.isValid())
        return Predicate::falsePredicate();
    std::vector<Predicate> parts{serviceIs(account), createdAtSince(d), flag("isHome", true),
                                 flag("isMuted", false)};
    if (!account->showRetweetsInHome())
        parts.push_back(flag("isRetweet", false));
    if (!account->showSentInHome())
        parts.push_back(flag("isSent", false));
    if (!account->showMentionsInHome())
        parts.push_back(flag("isMention", false));
    return Predicate::andPredicate(parts);
}

Predicate sent(const RTServiceTwitter *account)
{
    const QDateTime d = referenceDate(account, false);
    if (!d.isValid())
        return Predicate::falsePredicate();
    return Predicate::andPredicate({serviceIs(account), flag("isSent", true),
                                    flag("isPrivate", false), createdAtSince(d),
                                    flag("isMuted", false)});
}

} // namespace RTPredicates
