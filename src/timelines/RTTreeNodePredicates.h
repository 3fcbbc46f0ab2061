#pragma once

#include "foundation/Predicate.h"
#include "model/RTMessage.h"

class QObject;
class RTServiceTwitter;

// Reads a message for a predicate: its two flag words and the named values "service",
// "createdAt" and "messageId" (a 64-bit integer when the id is numeric).
class RTMessagePredicateSubject : public PredicateSubject
{
public:
    explicit RTMessagePredicateSubject(const RTMessage &message)
        : m_message(message)
    {
    }
    [[nodiscard]] quint32 predicateFlagWord(int word) const override;
    [[nodiscard]] PredicateValue predicateValue(int keyId) const override;

private:
    const RTMessage &m_message;
};

[[nodiscard]] bool evaluatePredicate(const Predicate &predicate, const RTMessage &message);

// The message flags and values as predicate terms, and the predicates of the nodes.
namespace RTPredicates {
// name is a flag property ("isHome", "isSeen", ...); asserts on an unknown name.
[[nodiscard]] Predicate flag(const char *name, bool value);
[[nodiscard]] PredicateValue serviceValue(const QObject *service);
[[nodiscard]] Predicate serviceIs(const QObject *service);
[[nodiscard]] Predicate createdAtSince(const QDateTime &date);

[[nodiscard]] Predicate mentions(const QObject *account);
[[nodiscard]] Predicate retweets(const QObject *account);
[[nodiscard]] Predicate favorites(const QObject *account);
[[nodiscard]] Predicate direct(const QObject *account);
[[nodiscard]] Predicate inbox(const QObject *account);
[[nodiscard]] Predicate outbox(const QObject *account);
// The three that follow the account's reference messages: FALSE until the reference
// message is known.
[[nodiscard]] Predicate combined(const RTServiceTwitter *account);
[[nodiscard]] Predicate home(const RTServiceTwitter *account);
[[nodiscard]] Predicate sent(const RTServiceTwitter *account);
// createdAt of the account's reference message, invalid while unknown.
[[nodiscard]] QDateTime referenceDate(const RTServiceTwitter *account, bool home);
} // namespace RTPredicates
