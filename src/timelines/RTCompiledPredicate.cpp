#include "timelines/RTCompiledPredicate.h"

#include "model/RTMessage.h"
#include "timelines/RTTreeNodePredicates.h"

#include <algorithm>

namespace {

int serviceKey()
{
    static const int id = Predicate::keyId(QStringLiteral("service"));
    return id;
}

int createdAtKey()
{
    static const int id = Predicate::keyId(QStringLiteral("createdAt"));
    return id;
}

int order(qint64 a, qint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

RTMessageFacts::RTMessageFacts(const RTMessage &m)
    : message(&m)
    , words{m.permanentFlags(), m.temporaryFlags()}
    , service(m.service())
    , createdAt(0)
    , hasCreatedAt(m.createdAt().isValid())
{
    if (hasCreatedAt)
        createdAt = m.createdAt().toMSecsSinceEpoch();
}

RTCompiledPredicate::RTCompiledPredicate()
    : m_clauses(1)
{
}

RTCompiledPredicate::RTCompiledPredicate(const Predicate &predicate)
{
    const std::optional<std::vector<PredicateConjunction>> flat =
        flattenPredicateClauses(predicate);
    if (!flat) {
        m_flat = false;
        m_tree = predicate;
        return;
    }
    for (const PredicateConjunction &conjunction : *flat)
        m_clauses.push_back(clauseOf(conjunction));
}

RTCompiledPredicate::Clause RTCompiledPredicate::clauseOf(const PredicateConjunction &flat)
{
    Clause clause;
    clause.never = flat.never;
    for (int w = 0; w < 2; ++w) {
        clause.mask[w] = flat.mask[w];
        clause.expect[w] = flat.expect[w];
    }
    for (const PredicateConjunction::Comparison &c : flat.comparisons) {
        Test test;
        test.op = c.op;
        test.valueKind = c.value.kind();
        test.keyId = c.keyId;
        if (c.keyId == serviceKey()) {
            test.key = Key::Service;
            test.address = c.value.address();
        } else if (c.keyId == createdAtKey()) {
            test.key = Key::CreatedAt;
            test.number = c.value.toInteger();
        } else {
            test.value = c.value;
        }
        clause.tests.push_back(test);
    }
    // The identity test first: it rejects the other accounts' messages at once.
    std::stable_partition(clause.tests.begin(), clause.tests.end(),
                          [](const Test &t) { return t.key == Key::Service; });
    return clause;
}

bool RTCompiledPredicate::holds(const Test &test, const RTMessageFacts &facts)
{
    // The comparison results of PredicateValue::compare() with the message's value on
    // the left: 2 where the kinds differ or identities are unequal.
    int c = 2;
    switch (test.key) {
    case Key::Service:
        // A message's service is always an identity, possibly of nothing.
        if (test.valueKind == PredicateValue::Kind::Object)
            c = test.address == facts.service ? 0 : 2;
        break;
    case Key::CreatedAt:
        // A message without a date reads as no value, which only equals no value.
        if (!facts.hasCreatedAt)
            c = test.valueKind == PredicateValue::Kind::None ? 0 : 2;
        else if (test.valueKind == PredicateValue::Kind::Date)
            c = order(facts.createdAt, test.number);
        break;
    case Key::Other:
        c = RTMessagePredicateSubject(*facts.message)
                .predicateValue(test.keyId)
                .compare(test.value);
        break;
    }
    return PredicateConjunction::holds(test.op, c);
}

bool RTCompiledPredicate::evaluateTree(const RTMessageFacts &facts) const
{
    return evaluatePredicate(m_tree, *facts.message);
}
