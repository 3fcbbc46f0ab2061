#include "foundation/Predicate.h"

#include <QHash>
#include <gtest/gtest.h>

namespace {

constexpr quint32 kSeen = 0x1;
constexpr quint32 kMuted = 0x2;
constexpr quint32 kHome = 0x1;
constexpr quint32 kSent = 0x2;

struct Subject : PredicateSubject
{
    quint32 words[2] = {0, 0};
    QHash<int, PredicateValue> values;
    [[nodiscard]] quint32 predicateFlagWord(int word) const override { return words[word]; }
    [[nodiscard]] PredicateValue predicateValue(int keyId) const override
    {
        return values.value(keyId);
    }
};

Predicate seen(bool v)
{
    return Predicate::flag("isSeen", 0, kSeen, v);
}
Predicate muted(bool v)
{
    return Predicate::flag("isMuted", 0, kMuted, v);
}
Predicate home(bool v)
{
    return Predicate::flag("isHome", 1, kHome, v);
}
Predicate sent(bool v)
{
    return Predicate::flag("isSent", 1, kSent, v);
}

const QDateTime kDate = QDateTime(QDate(2010, 5, 1), QTime(12, 0), Qt::UTC);

} // namespace

TEST(PredicateTest, EvaluatesFlagsComparisonsAndCompounds)
{
    int account = 0;
    int other = 0;
    const Predicate ofAccount =
        Predicate::compare("service", Predicate::Op::Equal, PredicateValue::object(&account, "me"));
    const Predicate since =
        Predicate::compare("createdAt", Predicate::Op::GreaterOrEqual, PredicateValue::date(kDate));
    const Predicate idBelow =
        Predicate::compare("messageId", Predicate::Op::Less, PredicateValue::integer(1000));
    struct Case
    {
        const char *what;
        Predicate predicate;
        quint32 permanent;
        quint32 temporary;
        const void *service;
        QDateTime createdAt;
        qint64 id;
        bool expected;
    };
    const Case cases[] = {
        {"null holds", Predicate(), 0, 0, &account, kDate, 1, true},
        {"true", Predicate::truePredicate(), 0, 0, nullptr, {}, 0, true},
        {"false", Predicate::falsePredicate(), ~0u, ~0u, &account, kDate, 1, false},
        {"flag yes set", home(true), 0, kHome, &account, kDate, 1, true},
        {"flag yes clear", home(true), 0, 0, &account, kDate, 1, false},
        {"flag no clear", muted(false), 0, 0, &account, kDate, 1, true},
        {"flag no set", muted(false), kMuted, 0, &account, kDate, 1, false},
        {"folded and holds", home(true) && muted(false) && sent(false), kSeen, kHome, &account,
         kDate, 1, true},
        {"folded and, one bit wrong", home(true) && muted(false) && sent(false), 0, kHome | kSent,
         &account, kDate, 1, false},
        {"contradiction never holds", home(true) && home(false), 0, 0, &account, kDate, 1, false},
        {"object equal", ofAccount, 0, 0, &account, kDate, 1, true},
        {"object other", ofAccount, 0, 0, &other, kDate, 1, false},
        {"object missing", ofAccount, 0, 0, nullptr, kDate, 1, false},
        {"date equal is since", since, 0, 0, nullptr, kDate, 1, true},
        {"date older", since, 0, 0, nullptr, kDate.addSecs(-1), 1, false},
        {"date missing", since, 0, 0, nullptr, {}, 1, false},
        {"ids as numbers: 999 < 1000", idBelow, 0, 0, nullptr, {}, 999, true},
        {"ids as numbers: 1000", idBelow, 0, 0, nullptr, {}, 1000, false},
        {"and with compare", ofAccount && since && home(true), 0, kHome, &account, kDate, 1, true},
        {"and with compare fails on compare", ofAccount && since && home(true), 0, kHome, &other,
         kDate, 1, false},
        {"or", sent(true) || home(true), 0, kHome, nullptr, {}, 0, true},
        {"or neither", sent(true) || home(true), 0, 0, nullptr, {}, 0, false},
        {"not", Predicate::notPredicate(seen(true)), 0, 0, nullptr, {}, 0, true},
        {"and of or",
         (sent(true) || home(true)) && muted(false),
         kMuted,
         kHome,
         nullptr,
         {},
         0,
         false},
    };
    for (const Case &c : cases) {
        Subject s;
        s.words[0] = c.permanent;
        s.words[1] = c.temporary;
        if (c.service)
            s.values.insert(Predicate::keyId("service"), PredicateValue::object(c.service, {}));
        s.values.insert(Predicate::keyId("createdAt"), PredicateValue::date(c.createdAt));
        s.values.insert(Predicate::keyId("messageId"), PredicateValue::integer(c.id));
        EXPECT_EQ(c.predicate.evaluate(s), c.expected) << c.what;
    }
}

TEST(PredicateTest, PrintsInTheNodeNotation)
{
    int account = 0;
    const struct
    {
        Predicate predicate;
        QString text;
    } cases[] = {
        {home(true) && muted(false), "isHome == YES && isMuted == NO"},
        {(home(true) && muted(false)) && sent(false),
         "isHome == YES && isMuted == NO && isSent == NO"},
        {sent(true) || home(true), "isSent == YES || isHome == YES"},
        {(sent(true) || home(true)) && muted(false),
         "(isSent == YES || isHome == YES) && isMuted == NO"},
        {Predicate::compare("service", Predicate::Op::Equal,
                            PredicateValue::object(&account, "alice")) &&
             Predicate::compare("trendType", Predicate::Op::Equal, PredicateValue::integer(0)),
         "service == alice && trendType == 0"},
        {Predicate::compare("createdAt", Predicate::Op::GreaterOrEqual,
                            PredicateValue::date(kDate)),
         "createdAt >= 2010-05-01T12:00:00.000Z"},
        {Predicate::falsePredicate(), "FALSEPREDICATE"},
        {Predicate::notPredicate(seen(true)), "NOT (isSeen == YES)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.predicate.toString(), c.text);
    EXPECT_TRUE(Predicate().isNull());
    EXPECT_EQ(home(true) && muted(false), home(true) && muted(false));
    EXPECT_NE(home(true) && muted(false), home(true) && muted(true));
}
