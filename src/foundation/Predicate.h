#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// A value that a predicate compares against or reads from its subject: an integer, a
// date, a string or an object identity (compared by address, printed by its label).
class PredicateValue
{
public:
    enum class Kind
    {
        None,
        Integer,
        Date,
        String,
        Object
    };

    PredicateValue() = default;
    static PredicateValue integer(qint64 value);
    static PredicateValue date(const QDateTime &value);
    static PredicateValue string(const QString &value);
    // label is what the predicate prints for the object (an account's description).
    static PredicateValue object(const void *address, const QString &label);

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] qint64 toInteger() const { return m_number; }
    [[nodiscard]] const void *address() const { return m_address; }
    [[nodiscard]] QString text() const; // printed form
    // -1, 0, 1; values of different kinds are unordered (returns 2).
    [[nodiscard]] int compare(const PredicateValue &other) const;

private:
    Kind m_kind = Kind::None;
    qint64 m_number = 0; // integer, or msecs since epoch for a date
    const void *m_address = nullptr;
    QString m_string; // string value or object label
};

// What a predicate is evaluated against. The model's messages implement it; foundation
// knows nothing about them beyond two flag words and named values.
class PredicateSubject
{
public:
    virtual ~PredicateSubject() = default;
    // word 0 is the permanent flag word, word 1 the temporary one.
    [[nodiscard]] virtual quint32 predicateFlagWord(int word) const = 0;
    // The named value (interned key, see Predicate::keyId), or a None value.
    [[nodiscard]] virtual PredicateValue predicateValue(int keyId) const = 0;
};

struct PredicateConjunction;

// An immutable predicate tree shared by value: and, or, not, true, false, a flag test
// ("isHome == YES" reads one bit) and a comparison of a named value. Flag tests under
// one "and" are folded into one mask test per word, so the common node predicates cost
// two ANDs and compares. Prints itself as `isHome == YES && isMuted == NO`.
class Predicate
{
public:
    enum class Op
    {
        Equal,
        NotEqual,
        Less,
        LessOrEqual,
        Greater,
        GreaterOrEqual
    };

    // A null predicate: "none" where a node has no predicate. Evaluates to true.
    Predicate() = default;

    static Predicate truePredicate();
    static Predicate falsePredicate();
    static Predicate flag(const QString &name, int word, quint32 mask, bool expected);
    static Predicate compare(const QString &key, Op op, const PredicateValue &value);
    static Predicate andPredicate(const std::vector<Predicate> &parts);
    static Predicate orPredicate(const std::vector<Predicate> &parts);
    static Predicate notPredicate(const Predicate &part);

    // Small integer for a value name, the same for the same name across the process.
    static int keyId(const QString &name);

    [[nodiscard]] bool isNull() const { return !m_node; }
    [[nodiscard]] bool isFalse() const;
    [[nodiscard]] bool evaluate(const PredicateSubject &subject) const;
    [[nodiscard]] QString toString() const;

    // Equal when they print the same.
    bool operator==(const Predicate &other) const;
    bool operator!=(const Predicate &other) const { return !(*this == other); }

    struct Node;

private:
    friend std::optional<PredicateConjunction> flattenPredicate(const Predicate &predicate);
    friend std::optional<std::vector<PredicateConjunction>>
    flattenPredicateClauses(const Predicate &predicate);
    explicit Predicate(std::shared_ptr<const Node> node)
        : m_node(std::move(node))
    {
    }
    std::shared_ptr<const Node> m_node;
};

// A predicate that is an "and" of plain tests, laid flat for judging many subjects: the
// folded flag masks of both words and the comparisons of named values. never is set for
// a predicate that cannot hold (FALSE, or contradicting flag tests).
struct PredicateConjunction
{
    struct Comparison
    {
        int keyId = -1;
        Predicate::Op op = Predicate::Op::Equal;
        PredicateValue value;
    };
    bool never = false;
    quint32 mask[2] = {0, 0};
    quint32 expect[2] = {0, 0};
    std::vector<Comparison> comparisons;

    // Whether op holds for a comparison result of PredicateValue::compare().
    [[nodiscard]] static bool holds(Predicate::Op op, int comparison);
};

// The flat form of predicate, or nothing when it holds an "or" or a "not". A null
// predicate is the empty conjunction (always true).
[[nodiscard]] std::optional<PredicateConjunction> flattenPredicate(const Predicate &predicate);
// The same for an "or" of such conjunctions (one clause for anything else), or nothing.
[[nodiscard]] std::optional<std::vector<PredicateConjunction>>
flattenPredicateClauses(const Predicate &predicate);

// a && b, flattening nested ands; a null side is ignored.
Predicate operator&&(const Predicate &a, const Predicate &b);
Predicate operator||(const Predicate &a, const Predicate &b);
