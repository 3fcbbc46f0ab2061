#pragma once

#include "foundation/Predicate.h"

#include <vector>

class QObject;
class RTMessage;

// What node predicates read of a message, read once so that judging it against every
// node costs a few integer tests per node.
struct RTMessageFacts
{
    explicit RTMessageFacts(const RTMessage &message);

    const RTMessage *message;
    quint32 words[2]; // permanent, temporary
    const QObject *service;
    qint64 createdAt; // msecs since the epoch, when hasCreatedAt
    bool hasCreatedAt;
};

// A node predicate laid flat: the flag masks, the account identity and the date floor
// become straight integer tests over RTMessageFacts, and an "or" of such tests a list of
// clauses. Selects exactly what the predicate tree selects; a tree that does not lay flat
// (a "not", an "or" inside an "and") is evaluated as a tree.
class RTCompiledPredicate
{
public:
    RTCompiledPredicate(); // the null predicate: accepts every message
    explicit RTCompiledPredicate(const Predicate &predicate);

    [[nodiscard]] bool evaluate(const RTMessageFacts &facts) const;
    // Whether it runs as flat tests (for tests and benchmarks).
    [[nodiscard]] bool isFlat() const { return m_flat; }

private:
    enum class Key : quint8
    {
        Service,
        CreatedAt,
        Other
    };
    struct Test
    {
        Key key = Key::Other;
        Predicate::Op op = Predicate::Op::Equal;
        PredicateValue::Kind valueKind = PredicateValue::Kind::None;
        const void *address = nullptr; // identity tests
        qint64 number = 0;             // date tests
        int keyId = -1;
        PredicateValue value; // other keys
    };
    struct Clause
    {
        bool never = false;
        quint32 mask[2] = {0, 0};
        quint32 expect[2] = {0, 0};
        std::vector<Test> tests;
    };
    [[nodiscard]] static Clause clauseOf(const PredicateConjunction &flat);
    [[nodiscard]] static bool holds(const Test &test, const RTMessageFacts &facts);
    [[nodiscard]] static bool clauseHolds(const Clause &clause, const RTMessageFacts &facts);
    [[nodiscard]] bool evaluateTree(const RTMessageFacts &facts) const;

    bool m_flat = true;
    std::vector<Clause> m_clauses; // any of them
    Predicate m_tree;              // when not flat
};

inline bool RTCompiledPredicate::clauseHolds(const Clause &clause, const RTMessageFacts &facts)
{
    if (clause.never)
        return false;
    if ((facts.words[0] & clause.mask[0]) != clause.expect[0] ||
        (facts.words[1] & clause.mask[1]) != clause.expect[1])
        return false;
    for (const Test &test : clause.tests) {
        // The common identity test inline; the rest out of line.
        if (test.key == Key::Service && test.op == Predicate::Op::Equal) {
            if (test.valueKind != PredicateValue::Kind::Object || test.address != facts.service)
                return false;
        } else if (!holds(test, facts)) {
            return false;
        }
    }
    return true;
}

inline bool RTCompiledPredicate::evaluate(const RTMessageFacts &facts) const
{
    if (!m_flat)
        return evaluateTree(facts);
    for (const Clause &clause : m_clauses) {
        if (clauseHolds(clause, facts))
            return true;
    }
    return false;
}
